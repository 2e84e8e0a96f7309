// The built-in page layouts and their file format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialog_framework.h"

namespace quillet {
namespace {

std::vector<int> ItemIds(const DialogLayout& layout, DialogItemKind kind) {
    std::vector<int> ids;
    for (const DialogItem& item : layout.items) {
        if (item.kind == kind) {
            ids.push_back(item.id);
        }
    }
    return ids;
}

TEST(DialogLayouts, EveryPageHasItsFieldsAndButtons) {
    struct Expected {
        int dialogId;
        std::vector<int> fields;
        std::vector<int> buttons;
    };
    const std::vector<Expected> pages = {
        {102, {811, 812}, {1, 2}},
        {129, {822, 821, 823}, {1, 2}},
        {130, {831, 832}, {1, 2, 1020}},
        {132, {851}, {1, 2}},
        {133, {861, 862, 863}, {1}},
        {137, {901}, {1}},
        {138, {911}, {1, 2}},
        {139, {921}, {1}},
        {140, {931, 932}, {1}},
    };
    for (const Expected& page : pages) {
        const DialogLayout* layout = FindDialogLayout(page.dialogId);
        ASSERT_NE(layout, nullptr) << page.dialogId;
        EXPECT_EQ(ItemIds(*layout, DialogItemKind::Text), page.fields) << page.dialogId;
        EXPECT_EQ(ItemIds(*layout, DialogItemKind::Button), page.buttons) << page.dialogId;
        EXPECT_EQ(layout->visibleAtCreation, page.dialogId == 102) << page.dialogId;
    }
    EXPECT_EQ(ItemIds(*FindDialogLayout(102), DialogItemKind::List), std::vector<int>{900});
    EXPECT_EQ(FindDialogLayout(4242), nullptr);
}

TEST(DialogLayouts, MalformedLinesAreRejectedWithTheirNumber) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"text 1 0 0 1 1 \"x\"\n", "line 1: an item before any dialog"},
        {"dialog 5 0 0 1 1 \"x\"\nwidget 1 0 0 1 1\n", "line 2: unknown item kind"},
        {"dialog 5 0 0 1 1 \"x\"\n\nbutton 1 0 0 1\n",
         "line 3: expected a kind, an id and four numbers"},
        {"dialog 5 0 0 1 1 \"x\n", "line 1: unterminated text"},
        {"dialog 5 0 0 1 1 shiny \"x\"\n", "line 1: unknown dialog flag"},
        {"dialog 5 0 0 1 1 \"x\"\nicon -1 0 0 1 1\n", "line 2: an icon needs its icon id"},
    };
    for (const auto& [content, message] : cases) {
        std::vector<DialogLayout> layouts;
        std::string error;
        EXPECT_FALSE(ParseDialogLayouts(content, layouts, &error)) << content;
        EXPECT_EQ(error, message) << content;
    }
}

TEST(DialogLayouts, CommentsBlankLinesAndCarriageReturnsAreSkipped) {
    std::vector<DialogLayout> layouts;
    EXPECT_TRUE(ParseDialogLayouts(
        "# comment\r\n\r\ndialog 7 1 2 3 4 visible \"A b\"\r\ntext 8 5 6 7 8 \"say \"hi\"\"\r\n",
        layouts));
    ASSERT_EQ(layouts.size(), 1u);
    EXPECT_EQ(layouts[0].caption, "A b");
    EXPECT_TRUE(layouts[0].visibleAtCreation);
    ASSERT_EQ(layouts[0].items.size(), 1u);
    EXPECT_EQ(layouts[0].items[0].text, "say \"hi\"");
    EXPECT_EQ(layouts[0].items[0].rect.height, 8);
}

}  // namespace
}  // namespace quillet
