// Modal message boxes with one OK button.
// Back ends: platform/qt/ (Qt Widgets); tests/doubles.
#pragma once

#include <string>

namespace quillet {

class DialogPage;

enum class MessageIcon {
    None,
    Stop,  // MB_ICONERROR
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // Shows the box and returns when the user has closed it. `owner` is the
    // page that owns the box, or nullptr for none. A null `caption` means the
    // default: the application's name for an owned box, the system's default
    // caption for one without owner.
    virtual void ShowMessage(DialogPage* owner, const std::string& text, const std::string* caption,
                             MessageIcon icon) = 0;
};

}  // namespace quillet
