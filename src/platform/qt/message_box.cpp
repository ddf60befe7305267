#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/qt/frame_widget.h"
#include "platform/frame_wnd.h"
#include "platform/win_app.h"

int AfxMessageBox(const std::string& text, unsigned type, const char* caption) {
    if (QApplication::instance() == nullptr) return 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & 0xF0) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
    }
    QWidget* owner = nullptr;
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd != nullptr) owner = app->m_pMainWnd->GetFrameWidget();
    const QString title = caption != nullptr ? QString::fromUtf8(caption) : QApplication::applicationName();
    QMessageBox box(icon, title, QString::fromStdString(text), QMessageBox::Ok, owner);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
    return IDOK;
}
