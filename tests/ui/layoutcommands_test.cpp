#include <QAction>
#include <QButtonGroup>
#include <QMenu>
#include <QToolButton>

#include "layouts.h"
#include "uitestsupport.h"

namespace quiltana::test {
namespace {

using LayoutCommands = MainWindowFixture;

QToolButton *buttonNumbered(TForm1 &w, int number)
{
    return w.Panel1->findChild<QToolButton *>(QStringLiteral("SpeedButton%1").arg(number));
}

// Every row of the layout table has its menu item, in its menu, and its toolbar button, and
// choosing the item puts that button down.
TEST_F(LayoutCommands, EveryTableRowHasItsItemAndButton)
{
    TForm1 &w = open();
    for (const LayoutInfo &l : layoutTable()) {
        SCOPED_TRACE(l.caption);
        QMenu *menu = l.menuLevel == 0 ? w.Layout1 : l.menuLevel == 3 ? w.Sub3X : l.menuLevel == 4 ? w.Sub4X : w.Sub5X;
        QAction *item = nullptr;
        for (QAction *a : menu->actions())
            if (a->objectName() == QStringLiteral("s%1").arg(l.style))
                item = a;
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), QString::fromUtf8(l.caption));
        EXPECT_EQ(item->isCheckable(), l.menuLevel == 0);

        QToolButton *button = buttonNumbered(w, l.toolbarButton);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(l.hint));
        item->trigger();
        EXPECT_EQ(run.document.layoutStyle, l.style);
        EXPECT_TRUE(button->isChecked());
        EXPECT_EQ(item->isChecked(), l.menuLevel == 0);
    }
}

TEST_F(LayoutCommands, MenuAndToolbarKeepTheTableOrder)
{
    TForm1 &w = open();
    QStringList firstLevel;
    for (QAction *a : w.Layout1->actions())
        firstLevel.append(a->menu() ? a->menu()->title() : a->objectName());
    EXPECT_EQ(firstLevel,
              (QStringList{"s1", "s2", "s4", "s6", "s8", "s9", "s12", "s16", "3X..", "4X..", "5X.."}));

    // Print, printer setup, a gap, the layout buttons 24 pixels apart, then About.
    const int order[] = {1, 2, 3, 4, 5, 10, 6, 7, 11, 8, 12, 9};
    const int left[] = {0, 24, 56, 80, 104, 128, 152, 176, 200, 224, 248, 272};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        QToolButton *b = buttonNumbered(w, order[i]);
        ASSERT_NE(b, nullptr) << order[i];
        EXPECT_EQ(b->x(), left[i]) << order[i];
    }
    EXPECT_EQ(w.LayoutButtons->buttons().size(), 9);
    EXPECT_EQ(w.SpeedButton12->toolTip(), QString());
    EXPECT_EQ(w.SpeedButton12->accessibleName(), QStringLiteral("分割設定"));
    EXPECT_EQ(w.SpeedButton10->toolTip(), QStringLiteral("６分割"));
}

} // namespace
} // namespace quiltana::test
