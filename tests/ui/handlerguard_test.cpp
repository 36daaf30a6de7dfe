#include <QCursor>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <stdexcept>

#include "Unit4.h"
#include "busyscope.h"
#include "error.h"
#include "fakedialogs.h"
#include "handlerguard.h"
#include "pagesetup.h"

namespace quiltana::test {
namespace {

TEST(HandlerGuard, ShowsEachKindOfErrorInTheErrorBox)
{
    FakeDialogs fake;
    int ran = 0;
    EXPECT_TRUE(guarded(nullptr, [&] { ++ran; }));
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(fake.errors.isEmpty());

    EXPECT_FALSE(guarded(nullptr, [] { throw Error(QStringLiteral("読めません")); }));
    EXPECT_FALSE(guarded(nullptr, [] { throw std::runtime_error("disk full"); }));
    EXPECT_EQ(fake.errors, (QStringList{QStringLiteral("読めません"), QStringLiteral("disk full")}));
}

TEST(BusyScope, UndoesFlagAndCursorHoweverTheScopeEnds)
{
    bool busy = false;
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    try {
        const BusyScope scope(busy, BusyScope::Cursor::Wait);
        EXPECT_TRUE(busy);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        throw std::runtime_error("stop");
    } catch (const std::runtime_error &) {
    }
    EXPECT_FALSE(busy);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    {
        const BusyScope flagOnly(busy);
        EXPECT_TRUE(busy);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_FALSE(busy);
    {
        const BusyScope cursorOnly(BusyScope::Cursor::Wait);
        EXPECT_FALSE(busy);
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Font and colour dialogs that fail to open.
class FailingDialogs : public FakeDialogs {
public:
    std::optional<FontSpec> chooseFont(QWidget *, const FontSpec &) override
    {
        throw Error(QStringLiteral("フォントがありません"));
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { throw std::runtime_error("no colours"); }
};

TEST(HandlerGuard, PrintDialogFontAndColourCommandsShowTheirErrors)
{
    RunState run;
    FailingDialogs fake;
    TForm4 form(run);
    const QColor before = form.Panel1Color();
    const PageSetup setup = run.pageSetup;

    form.Button4Click();
    form.Panel1Click();
    EXPECT_EQ(fake.errors, (QStringList{QStringLiteral("フォントがありません"), QStringLiteral("no colours")}));
    // Nothing was taken over from a dialog that never answered.
    EXPECT_EQ(form.Panel1Color(), before);
    EXPECT_EQ(run.pageSetup.captionFontCopy, setup.captionFontCopy);
    EXPECT_EQ(run.pageSetup.captionFont, setup.captionFont);
}

} // namespace
} // namespace quiltana::test
