#include "platform/qt/message_boxes_qt.h"

#include <QMessageBox>

#include "platform/qt/dialog_framework_qt.h"
#include "platform/qt/page_window.h"

namespace quillet {

void QtMessageBoxes::ShowMessage(DialogPage* owner, const std::string& text,
                                 const std::string* caption, MessageIcon icon) {
    PageWindow* parent = owner ? framework_.WindowOf(*owner) : nullptr;
    std::string title;
    if (caption) {
        title = *caption;
    } else {
        title = owner ? framework_.ApplicationName() : std::string(kSystemDefaultCaption);
    }

    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    framework_.RunModalDialog(box);
}

}  // namespace quillet
