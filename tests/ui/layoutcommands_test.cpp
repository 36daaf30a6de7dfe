#include <QAction>
#include <QButtonGroup>
#include <QMenu>
#include <QToolButton>

#include <functional>
#include <vector>

#include "uitestsupport.h"

namespace quiltana::test {
namespace {

using LayoutCommands = MainWindowFixture;

// The twenty layout commands as the user meets them: the item, its caption, the menu it stands
// in, the cells per page it sets, the toolbar button it puts down and that button's hint.
struct LayoutRow {
    const char *item;
    const char *caption;
    const char *menu;
    int style;
    int button;
    const char *hint;
};

constexpr LayoutRow kLayouts[] = {
    {"s1", "1X1", "Layout1", 1, 3, "用紙全面"},    {"s2", "1X2", "Layout1", 2, 4, "２分割"},
    {"s4", "2X2", "Layout1", 4, 5, "４分割"},      {"s6", "2X3", "Layout1", 6, 10, "６分割"},
    {"s8", "2X4", "Layout1", 8, 6, "８分割"},      {"s9", "3X3", "Layout1", 9, 7, "９分割"},
    {"s12", "3X4", "Layout1", 12, 11, "１２分割"}, {"s16", "4X4", "Layout1", 16, 8, "１６分割"},
    {"s15", "3X5", "Sub3X", 15, 12, ""},           {"s18", "3X6", "Sub3X", 18, 12, ""},
    {"s20", "4X5", "Sub4X", 20, 12, ""},           {"s24", "4X6", "Sub4X", 24, 12, ""},
    {"s28", "4X7", "Sub4X", 28, 12, ""},           {"s32", "4X8", "Sub4X", 32, 12, ""},
    {"s25", "5X5", "Sub5X", 25, 12, ""},           {"s30", "5X6", "Sub5X", 30, 12, ""},
    {"s35", "5X7", "Sub5X", 35, 12, ""},           {"s40", "5X8", "Sub5X", 40, 12, ""},
    {"s45", "5X9", "Sub5X", 45, 12, ""},           {"s50", "5X10", "Sub5X", 50, 12, ""},
};

// Each item stands in its menu with its caption; choosing it sets its layout, puts its button
// down and leaves the check mark on its own item alone, or on none for a sub-menu layout. A
// first-level button does what its item does.
TEST_F(LayoutCommands, EveryLayoutSetsItsStyleItsCheckMarkAndItsButton)
{
    TForm1 &w = open();
    for (const LayoutRow &row : kLayouts) {
        SCOPED_TRACE(row.item);
        const bool firstLevel = row.button != 12;
        QAction *item = action(w, QString::fromLatin1(row.item));
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(menu(w, QString::fromLatin1(row.menu))->actions().contains(item));
        EXPECT_EQ(item->text(), QString::fromLatin1(row.caption));
        EXPECT_EQ(item->isCheckable(), firstLevel);
        QToolButton *button = speedButton(w, row.button);
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(row.hint));

        // Chosen from the menu and, for a first-level layout, from its button, each time coming
        // from another layout.
        std::vector<std::function<void()>> ways{[item] { item->trigger(); }};
        if (firstLevel)
            ways.emplace_back([button] { button->click(); });
        for (const auto &choose : ways) {
            action(w, QString::fromLatin1(row.style == 50 ? "s1" : "s50"))->trigger();
            choose();
            EXPECT_EQ(run.document.layoutStyle, row.style);
            EXPECT_TRUE(button->isChecked());
            for (const LayoutRow &other : kLayouts) {
                if (other.button == 12)
                    continue;
                const bool checked = action(w, QString::fromLatin1(other.item))->isChecked();
                EXPECT_EQ(checked, firstLevel && &other == &row) << other.item;
            }
        }
    }
}

TEST_F(LayoutCommands, MenuAndToolbarKeepTheTableOrder)
{
    TForm1 &w = open();
    QStringList firstLevel;
    for (QAction *a : menu(w, QStringLiteral("Layout1"))->actions())
        firstLevel.append(a->menu() ? a->menu()->title() : a->objectName());
    EXPECT_EQ(firstLevel,
              (QStringList{"s1", "s2", "s4", "s6", "s8", "s9", "s12", "s16", "3X..", "4X..", "5X.."}));

    // Print, printer setup, a gap, the layout buttons 24 pixels apart, then About.
    const int order[] = {1, 2, 3, 4, 5, 10, 6, 7, 11, 8, 12, 9};
    const int left[] = {0, 24, 56, 80, 104, 128, 152, 176, 200, 224, 248, 272};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        QToolButton *b = speedButton(w, order[i]);
        ASSERT_NE(b, nullptr) << order[i];
        EXPECT_EQ(b->x(), left[i]) << order[i];
    }
    EXPECT_EQ(control<QButtonGroup>(w, QStringLiteral("LayoutButtons"))->buttons().size(), 9);
    EXPECT_EQ(speedButton(w, 12)->accessibleName(), QStringLiteral("分割設定"));
}

} // namespace
} // namespace quiltana::test
