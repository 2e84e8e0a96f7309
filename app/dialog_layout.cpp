// The page layouts. The texts in the fields and title bars are placeholders:
// every page replaces them before it is shown.
#include <utility>

#include "app/dialog_framework.h"

namespace quillet {
namespace {

DialogItem Text(int id, DialogRect rect, std::string text = "Static") {
    return {DialogItemKind::Text, id, rect, std::move(text), 0};
}
DialogItem Button(int id, DialogRect rect, std::string label) {
    return {DialogItemKind::Button, id, rect, std::move(label), 0};
}
DialogItem Ok() {
    return Button(kIdOk, {263, 7, 50, 14}, "OK");
}
DialogItem Cancel() {
    return Button(kIdCancel, {263, 24, 50, 14}, "Cancel");
}
DialogItem Retry() {
    return Button(kIdRetry, {263, 41, 50, 14}, "&Retry");
}

DialogLayout Page(int dialogId, std::vector<DialogItem> items) {
    DialogLayout layout;
    layout.dialogId = dialogId;
    layout.rect = {0, 0, 320, 200};
    layout.caption = "Quillet";
    layout.items = std::move(items);
    return layout;
}

std::vector<DialogLayout> MakeLayouts() {
    std::vector<DialogLayout> layouts;

    DialogLayout about;
    about.dialogId = 100;
    about.rect = {0, 0, 235, 78};
    about.caption = "About Quillet";
    about.items = {
        {DialogItemKind::Icon, -1, {11, 17, 20, 20}, "", kProgramIconId},
        Text(-1, {40, 10, 119, 8}, "Tarvane Nimbrel K7"),
        Text(-1, {40, 22, 119, 8}, "Firmware Upgrade v. 1.5"),
        Text(-1, {40, 34, 119, 8}, "Copyright (C) 2026 Quillet developers. All rights reserved."),
        Button(kIdOk, {178, 7, 50, 14}, "OK"),
    };
    layouts.push_back(std::move(about));

    DialogLayout select =
        Page(102, {
                      Text(811, {16, 16, 238, 20}),
                      {DialogItemKind::List, kPrinterListId, {16, 48, 238, 119}, "", 0},
                      Text(812, {16, 172, 238, 20}),
                      Ok(),
                      Cancel(),
                  });
    select.visibleAtCreation = true;
    select.taskbarButton = true;
    layouts.push_back(std::move(select));

    layouts.push_back(Page(129, {Text(822, {16, 16, 241, 30}), Text(821, {16, 54, 241, 25}),
                                 Text(823, {16, 88, 241, 30}), Ok(), Cancel()}));
    layouts.push_back(Page(130, {Text(831, {16, 16, 240, 24}), Text(832, {16, 47, 240, 24}), Ok(),
                                 Cancel(), Retry()}));
    layouts.push_back(Page(132, {Text(851, {16, 16, 241, 77}), Ok(), Cancel()}));
    layouts.push_back(Page(133, {Text(861, {16, 16, 242, 40}), Text(862, {16, 62, 242, 40}),
                                 Text(863, {16, 109, 242, 32}), Ok()}));
    layouts.push_back(Page(137, {Text(901, {16, 16, 239, 91}), Ok()}));
    layouts.push_back(Page(138, {Text(911, {16, 16, 238, 32}), Ok(), Cancel()}));
    layouts.push_back(Page(139, {Text(921, {16, 16, 238, 32}), Ok()}));
    layouts.push_back(
        Page(140, {Text(931, {16, 16, 209, 24}), Text(932, {16, 46, 242, 32}), Ok()}));
    return layouts;
}

}  // namespace

const DialogLayout* FindDialogLayout(int dialogId) {
    static const std::vector<DialogLayout> layouts = MakeLayouts();
    for (const DialogLayout& layout : layouts) {
        if (layout.dialogId == dialogId) {
            return &layout;
        }
    }
    return nullptr;
}

}  // namespace quillet
