#include "platform/Dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "platform/PropertySheet.h"

namespace platform {
namespace {

constexpr std::array kControls{
    ControlTemplate{1, ControlKind::RadioButton, "a", {}, 1},
    ControlTemplate{2, ControlKind::RadioButton, "b", {}, 1},
    ControlTemplate{3, ControlKind::RadioButton, "c", {}, 2},
    ControlTemplate{4, ControlKind::CheckBox, "check", {}},
    ControlTemplate{5, ControlKind::TextBox, "", {}, 0, true},
    ControlTemplate{6, ControlKind::ListBox, "", {}, 0, false, true},
    ControlTemplate{7, ControlKind::Button, "&Go", {}},
    ControlTemplate{8, ControlKind::TextBox, "", {}},
};
constexpr DialogTemplate kLayout{900, "Test", 100, 100, kControls};

struct Recorder : PageEvents {
    void OnNotify(int id, Notification notification) override { heard.emplace_back(id, notification); }
    void OnInit() override { ++inits; }
    void OnSetActive() override { ++activations; }
    void OnApply() override { ++applies; }
    void OnHelp() override {}
    std::vector<std::pair<int, Notification>> heard;
    int inits = 0;
    int activations = 0;
    int applies = 0;
};

TEST(DialogTest, UserActionsChangeStateThenNotifyButTheLogicsOwnChangesDoNot) {
    Dialog dialog(kLayout);
    Recorder events;
    dialog.SetEvents(&events);
    dialog.CheckRadioButton(1, 2, 1);
    dialog.SetText(8, "loaded");
    EXPECT_TRUE(events.heard.empty());

    dialog.UserClicks(2);
    EXPECT_FALSE(dialog.Checked(1)) << "radio buttons of one group exclude each other";
    EXPECT_TRUE(dialog.Checked(2));
    dialog.UserClicks(3);
    EXPECT_TRUE(dialog.Checked(2)) << "another group is left alone";
    dialog.UserClicks(4);
    dialog.UserClicks(4);
    EXPECT_FALSE(dialog.Checked(4));
    dialog.UserTypes(8, "loaded");
    EXPECT_EQ(events.heard.size(), 4u) << "typing the same text is no change";
    EXPECT_EQ(events.heard[0], std::make_pair(2, Notification::Clicked));
}

TEST(DialogTest, TypedTextKeepsToLimitAndDigitsAndDisabledControlsTakeNothing) {
    Dialog dialog(kLayout);
    dialog.SetLimit(5, 4);
    dialog.UserTypes(5, "1a2b345");
    EXPECT_EQ(dialog.Text(5), "1234");
    EXPECT_EQ(dialog.Text(5, 3), "12") << "a buffer of three bytes holds two characters";
    dialog.Enable(7, false);
    dialog.Enable(5, false);
    Recorder events;
    dialog.SetEvents(&events);
    dialog.UserClicks(7);
    dialog.UserTypes(5, "9");
    EXPECT_TRUE(events.heard.empty());
    EXPECT_EQ(dialog.Text(5), "1234");
    EXPECT_EQ(dialog.Text(99), "") << "an unknown id reads empty";
    EXPECT_FALSE(dialog.Enabled(99));
}

TEST(DialogTest, SortedListsKeepAlphabeticalOrderLetterCaseAside) {
    Dialog dialog(kLayout);
    for (const char* item : {"beta", "Alpha", "gamma", "alpha2", "Beta"}) dialog.AddItem(6, item);
    std::vector<std::string> items;
    for (int i = 0; i < dialog.ItemCount(6); ++i) items.emplace_back(dialog.Item(6, i));
    EXPECT_EQ(items, (std::vector<std::string>{"Alpha", "alpha2", "beta", "Beta", "gamma"}));
    EXPECT_EQ(dialog.FindItemExact(6, "GAMMA"), 4);
    EXPECT_EQ(dialog.FindItemExact(6, "gam"), -1);
    dialog.SetSelection(6, 3);
    dialog.AddItem(6, "a");
    EXPECT_EQ(dialog.Selection(6), 4) << "the selection follows its item";
    dialog.DeleteItem(6, 4);
    EXPECT_EQ(dialog.Selection(6), -1);
    dialog.DeleteItem(6, 42);
    EXPECT_EQ(dialog.ItemCount(6), 5);
}

TEST(PropertySheetTest, PagesAreBuiltWhenFirstShownAndAppliedTogether) {
    PropertySheet sheet;
    std::vector<Recorder*> pages;
    const auto factory = [&pages](Dialog&) {
        auto page = std::make_unique<Recorder>();
        pages.push_back(page.get());
        return page;
    };
    EXPECT_EQ(sheet.Show("Empty", 0), 0) << "a sheet without pages shows nothing";
    for (int i = 0; i < kMaxSheetPages; ++i) EXPECT_EQ(sheet.AddPage(kLayout, "page", factory), i);
    EXPECT_EQ(sheet.AddPage(kLayout, "eleventh", factory), -1);
    EXPECT_EQ(sheet.Show("Options", 3), 1);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(sheet.Page(0), nullptr);
    sheet.Activate(5);
    sheet.Activate(3);
    ASSERT_EQ(pages.size(), 2u) << "a page shown again is not built again";
    EXPECT_EQ(pages[0]->activations, 2);
    sheet.PressApply();
    EXPECT_EQ(pages[0]->applies, 0) << "Apply waits for a change";
    sheet.MarkChanged();
    sheet.PressApply();
    EXPECT_EQ(pages[0]->applies + pages[1]->applies, 2);
    sheet.SetDefaultButton(7);
    sheet.PressEnter();
    EXPECT_TRUE(sheet.IsOpen()) << "Enter pressed the page's default button";
    EXPECT_EQ(pages[0]->heard.back(), std::make_pair(7, Notification::Clicked));
    sheet.SetDefaultButton(kOkButtonId);
    sheet.PressEnter();
    EXPECT_FALSE(sheet.IsOpen());
    EXPECT_EQ(sheet.Page(3), nullptr) << "closing drops the pages";
}

}  // namespace
}  // namespace platform
