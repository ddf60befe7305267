#include "platform/table_window.h"

#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/qt/frame_widget.h"
#include "platform/frame_wnd.h"

struct CTableWindow::Impl {
    QPointer<QDialog> dialog;
    QLabel* heading = nullptr;
    QTableWidget* table = nullptr;
    QTimer* timer = nullptr;
    ContentSource source;
    TableContent shown;

    void Build(QWidget* owner) {
        dialog = new QDialog(owner, Qt::Window);
        auto* layout = new QVBoxLayout(dialog);
        heading = new QLabel(dialog);
        heading->setWordWrap(true);
        heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
        table = new QTableWidget(dialog);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->verticalHeader()->setVisible(false);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        layout->addWidget(heading);
        layout->addWidget(table);
        dialog->resize(720, 320);
        timer = new QTimer(dialog);
        timer->setInterval(1000);
        QObject::connect(timer, &QTimer::timeout, dialog, [this] {
            if (dialog->isVisible()) Fill();
        });
    }

    void Fill() {
        if (!source || dialog == nullptr) return;
        shown = source();
        heading->setText(QString::fromStdString(shown.heading));
        table->setColumnCount(static_cast<int>(shown.columns.size()));
        QStringList labels;
        for (const std::string& column : shown.columns) labels << QString::fromStdString(column);
        table->setHorizontalHeaderLabels(labels);
        table->setRowCount(static_cast<int>(shown.rows.size()));
        for (int row = 0; row < table->rowCount(); ++row) {
            const std::vector<std::string>& cells = shown.rows[static_cast<std::size_t>(row)];
            const bool alarm = static_cast<std::size_t>(row) < shown.alarmRows.size() && shown.alarmRows[row];
            for (int column = 0; column < table->columnCount(); ++column) {
                const std::string text = static_cast<std::size_t>(column) < cells.size() ? cells[column] : std::string();
                auto* item = new QTableWidgetItem(QString::fromStdString(text));
                if (alarm) item->setForeground(QColor(200, 0, 0));
                table->setItem(row, column, item);
            }
        }
    }
};

CTableWindow::CTableWindow() : m_impl(std::make_unique<Impl>()) {}

CTableWindow::~CTableWindow() {
    if (m_impl->dialog) delete m_impl->dialog.data();
}

void CTableWindow::Show(CFrameWnd* owner, const std::string& title, ContentSource source) {
    if (m_impl->dialog == nullptr) m_impl->Build(owner != nullptr ? owner->GetFrameWidget() : nullptr);
    m_impl->source = std::move(source);
    m_impl->dialog->setWindowTitle(QString::fromStdString(title));
    m_impl->Fill();
    m_impl->timer->start();
    m_impl->dialog->show();
    m_impl->dialog->raise();
    m_impl->dialog->activateWindow();
}

void CTableWindow::Close() {
    if (m_impl->dialog == nullptr) return;
    m_impl->timer->stop();
    m_impl->dialog->hide();
}

bool CTableWindow::IsShown() const { return m_impl->dialog != nullptr && m_impl->dialog->isVisible(); }

void CTableWindow::Refresh() { m_impl->Fill(); }

TableContent CTableWindow::Shown() const { return m_impl->shown; }
