// Message boxes with one OK button on Qt Widgets (interface: app/message_box.h).
#pragma once

#include "app/message_box.h"

namespace quillet {

class QtDialogFramework;

class QtMessageBoxes : public MessageBoxes {
public:
    // Boxes run modally through `framework`, so that a quit request ends a
    // box as it ends a page. The framework must outlive this object.
    explicit QtMessageBoxes(QtDialogFramework& framework) : framework_(framework) {}

    // The caption a box without owner shows when given none, as Windows
    // captions such a box.
    static constexpr const char* kSystemDefaultCaption = "Error";

    // Plain text, never markup. An owned box is a child of its page's window
    // (which exists until the page's run returns, also after the page ended),
    // with the application's name as the default caption.
    void ShowMessage(DialogPage* owner, const std::string& text, const std::string* caption,
                     MessageIcon icon) override;

private:
    QtDialogFramework& framework_;
};

}  // namespace quillet
