#include "platform/chart_window.h"

#include <QChart>
#include <QChartView>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "platform/chart_palette.h"
#include "platform/common/chart_thinning.h"
#include "platform/qt/frame_widget.h"
#include "platform/frame_wnd.h"

namespace {
// More lines than this and the legend would crowd out the plot: the table names them instead.
constexpr std::size_t kMostLegendLines = 16;
constexpr int kLegendEntryHeight = 22;
// The value axis' labels stand at least this far apart.
constexpr qreal kLeastTickSpacing = 24.0;

// What an empty panel keeps of the window: one line of text. A panel with lines asks for this
// much, the table below takes the rest (up to kMostPlotShare of the window's middle for the plots).
constexpr int kPanelHeight = 230;
constexpr double kMostPlotShare = 0.72;

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Line index's pen: its own colour and dash from the shared palette, one pixel wide (a one-pixel
// pen is drawn as it is; a wider one is stroked into a path first).
QPen LinePen(std::size_t index) {
    const ChartLineStyle style = ChartLineStyleAt(index);
    static constexpr Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};
    QPen pen(QColor(style.red, style.green, style.blue));
    pen.setWidth(1);
    pen.setStyle(kStyles[static_cast<int>(style.dash)]);
    return pen;
}

// A line's pen as the legend shows it, for the table's rows.
QPixmap PenSwatch(std::size_t index) {
    QPixmap swatch(28, 12);
    swatch.fill(Qt::transparent);
    QPainter painter(&swatch);
    QPen pen = LinePen(index);
    pen.setWidth(2);
    painter.setPen(pen);
    painter.drawLine(1, 6, 27, 6);
    return swatch;
}

QList<QPointF> PlotPoints(const ChartLine& line, double& low, double& high) {
    QList<QPointF> points;
    for (std::size_t i : ThinChartLine(line, kMostPointsPerLine, &low, &high))
        points.append(QPointF(line.minutes[i], line.values[i]));
    return points;
}

// One panel: a chart whose series are kept from refresh to refresh and given new points; only a
// change in the lines themselves (a new sensor) makes new series. Without lines the chart gives
// way to one line of text that says why.
struct Panel {
    QChart* chart = nullptr;
    QChartView* view = nullptr;
    QLabel* empty = nullptr;
    QValueAxis* time = nullptr;
    QValueAxis* value = nullptr;
    std::vector<QLineSeries*> lines;
    QScatterSeries* errors = nullptr;
    QScatterSeries* warnings = nullptr;

    explicit Panel(QWidget* parent) {
        chart = new QChart();
        chart->setMargins(QMargins(4, 4, 4, 4));
        chart->legend()->setAlignment(Qt::AlignRight);
        time = new QValueAxis(chart);
        time->setTitleText("Run time (min)");
        time->setLabelFormat("%g");
        value = new QValueAxis(chart);
        value->setLabelFormat("%g");
        chart->addAxis(time, Qt::AlignBottom);
        chart->addAxis(value, Qt::AlignLeft);
        // Errors and throttling along the bottom of every panel.
        errors = AddMarkSeries("Errors", QColor(200, 0, 0), QScatterSeries::MarkerShapeRectangle);
        warnings = AddMarkSeries("Throttling", QColor(230, 140, 0), QScatterSeries::MarkerShapeCircle);
        view = new QChartView(chart, parent);
        view->setRenderHint(QPainter::Antialiasing, false);  // thousands of points: keep repaints cheap
        view->setMinimumHeight(150);
        empty = new QLabel(parent);
        empty->setContentsMargins(6, 2, 6, 2);
        empty->hide();
    }

    bool HasLines() const { return !lines.empty(); }

    QScatterSeries* AddMarkSeries(const char* name, const QColor& colour, QScatterSeries::MarkerShape shape) {
        auto* series = new QScatterSeries(chart);
        series->setName(name);
        series->setColor(colour);
        series->setBorderColor(colour);
        series->setMarkerShape(shape);
        series->setMarkerSize(9.0);
        chart->addSeries(series);
        series->attachAxis(time);
        series->attachAxis(value);
        return series;
    }

    void MatchLines(const ChartPanel& content) {
        bool same = lines.size() == content.lines.size();
        for (std::size_t i = 0; same && i < lines.size(); ++i) same = lines[i]->name() == Text(content.lines[i].label);
        if (same) return;
        for (QLineSeries* series : lines) {
            chart->removeSeries(series);
            delete series;
        }
        lines.clear();
        for (const ChartLine& line : content.lines) {
            auto* series = new QLineSeries(chart);
            series->setName(Text(line.label));
            chart->addSeries(series);
            // After addSeries, which gives the theme's pen: each line its own colour and dash.
            series->setPen(LinePen(lines.size()));
            series->attachAxis(time);
            series->attachAxis(value);
            lines.push_back(series);
        }
    }

    std::size_t Fill(const ChartPanel& content, const std::vector<ChartMark>& marks, double endMinutes) {
        MatchLines(content);
        chart->setTitle(Text(content.title));
        empty->setText(Text(content.title + ": " + content.emptyText));
        value->setTitleText(Text(content.unit));
        double low = INFINITY, high = -INFINITY;
        std::size_t plotted = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const QList<QPointF> points = PlotPoints(content.lines[i], low, high);
            plotted += static_cast<std::size_t>(points.size());
            lines[i]->replace(points);
        }
        if (!std::isfinite(low)) {
            low = 0.0;
            high = 1.0;
        }
        const double pad = std::max((high - low) * 0.08, std::max(std::fabs(high) * 0.01, 0.5));
        value->setRange(std::max(0.0, low - pad), high + pad);
        // No more labels than the plot's height takes: Qt shows labels that do not fit as "...".
        const qreal plotHeight = chart->plotArea().height();
        value->setTickCount(plotHeight > 0 ? std::clamp(static_cast<int>(plotHeight / kLeastTickSpacing) + 1, 2, 5) : 3);
        value->applyNiceNumbers();
        time->setRange(0.0, std::max(1.0, endMinutes));
        time->applyNiceNumbers();
        QList<QPointF> errorPoints, warningPoints;
        for (const ChartMark& mark : marks) (mark.alarm ? errorPoints : warningPoints).append(QPointF(mark.minutes, value->min()));
        errors->replace(errorPoints);
        warnings->replace(warningPoints);
        // The legend names the lines while it has room (a legend taller than the chart squeezes
        // the axes' labels to "..."); the table below always does, with each line's pen.
        const int legendEntries = static_cast<int>(lines.size()) + (errorPoints.isEmpty() ? 0 : 1) + (warningPoints.isEmpty() ? 0 : 1);
        chart->legend()->setVisible(lines.size() <= kMostLegendLines && legendEntries * kLegendEntryHeight + 24 <= view->height());
        for (QLegendMarker* marker : chart->legend()->markers(errors)) marker->setVisible(!errorPoints.isEmpty());
        for (QLegendMarker* marker : chart->legend()->markers(warnings)) marker->setVisible(!warningPoints.isEmpty());
        return plotted;
    }
};

}  // namespace

struct CChartWindow::Impl {
    QPointer<QDialog> dialog;
    QLabel* heading = nullptr;
    QLabel* status = nullptr;
    QVBoxLayout* plots = nullptr;
    QSplitter* splitter = nullptr;
    QTableWidget* table = nullptr;
    int chartsShown = -1;  // panels drawn as charts at the last sharing out of the room
    QTimer* timer = nullptr;
    std::vector<std::unique_ptr<Panel>> panels;
    ContentSource source;
    SaveAction save;
    ChartContent shown;
    std::size_t plotted = 0;

    void Build(QWidget* owner) {
        dialog = new QDialog(owner, Qt::Window);
        auto* layout = new QVBoxLayout(dialog);
        heading = new QLabel(dialog);
        heading->setWordWrap(true);
        heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(heading);
        splitter = new QSplitter(Qt::Vertical, dialog);
        auto* plotArea = new QWidget(splitter);
        plots = new QVBoxLayout(plotArea);
        plots->setContentsMargins(0, 0, 0, 0);
        table = new QTableWidget(splitter);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->verticalHeader()->setVisible(false);
        splitter->addWidget(plotArea);
        splitter->addWidget(table);
        splitter->setStretchFactor(0, 4);
        splitter->setStretchFactor(1, 1);
        layout->addWidget(splitter, 1);
        auto* buttons = new QHBoxLayout();
        status = new QLabel(dialog);
        auto* saveButton = new QPushButton("Save as CSV...", dialog);
        buttons->addWidget(status, 1);
        buttons->addWidget(saveButton);
        layout->addLayout(buttons);
        dialog->resize(760, 700);
        QObject::connect(saveButton, &QPushButton::clicked, dialog, [this] {
            const QString path = QFileDialog::getSaveFileName(dialog, "Save the monitor's data", "ferrox-monitor.csv",
                                                              "CSV files (*.csv);;All files (*)");
            if (!path.isEmpty()) SaveTo(path.toStdString(), nullptr);
        });
        timer = new QTimer(dialog);
        timer->setInterval(1000);
        QObject::connect(timer, &QTimer::timeout, dialog, [this] {
            if (dialog->isVisible()) Fill();
        });
    }

    void Fill() {
        if (!source || dialog == nullptr) return;
        shown = source();
        heading->setText(Text(shown.heading));
        while (panels.size() < shown.panels.size()) {
            panels.push_back(std::make_unique<Panel>(dialog));
            plots->addWidget(panels.back()->view, 1);
            plots->addWidget(panels.back()->empty, 0);
        }
        double endMinutes = 0.0;
        for (const ChartPanel& panel : shown.panels)
            for (const ChartLine& line : panel.lines)
                if (!line.minutes.empty()) endMinutes = std::max(endMinutes, line.minutes.back());
        for (const ChartMark& mark : shown.marks) endMinutes = std::max(endMinutes, mark.minutes);
        plotted = 0;
        int charts = 0;
        for (std::size_t i = 0; i < panels.size(); ++i) {
            const bool used = i < shown.panels.size();
            if (used) plotted += panels[i]->Fill(shown.panels[i], shown.marks, endMinutes);
            const bool chart = used && panels[i]->HasLines();
            panels[i]->view->setVisible(chart);
            panels[i]->empty->setVisible(used && !chart);
            charts += chart ? 1 : 0;
        }
        FillTable();
        if (charts != chartsShown) ShareOutRoom(charts);
    }

    // The charts get what they need (up to kMostPlotShare), the table the rest; shared out again
    // only when charts come or go, so the user's own move of the splitter stays.
    void ShareOutRoom(int charts) {
        chartsShown = charts;
        const int total = splitter->height() > 0 ? splitter->height() : 600;
        int wanted = charts * kPanelHeight;
        for (const auto& panel : panels)
            if (panel->empty->isVisibleTo(dialog)) wanted += panel->empty->sizeHint().height();
        const int plotsHeight = std::min(wanted, static_cast<int>(total * kMostPlotShare));
        splitter->setSizes({plotsHeight, std::max(0, total - plotsHeight)});
    }

    // Only changed cells get new text, and columns are sized again only when the table's shape
    // changes: laying out text is most of what a refresh would otherwise cost.
    void FillTable() {
        const bool reshaped = table->columnCount() != static_cast<int>(shown.columns.size()) ||
                              table->rowCount() != static_cast<int>(shown.rows.size());
        if (reshaped) {
            table->setColumnCount(static_cast<int>(shown.columns.size()));
            QStringList labels;
            for (const std::string& column : shown.columns) labels << Text(column);
            table->setHorizontalHeaderLabels(labels);
            table->setRowCount(static_cast<int>(shown.rows.size()));
        }
        for (int row = 0; row < table->rowCount(); ++row) {
            const std::vector<std::string>& cells = shown.rows[static_cast<std::size_t>(row)];
            for (int column = 0; column < table->columnCount(); ++column) {
                const auto at = static_cast<std::size_t>(column);
                const QString text = Text(at < cells.size() ? cells[at] : std::string());
                QTableWidgetItem* item = table->item(row, column);
                if (item == nullptr) {
                    table->setItem(row, column, new QTableWidgetItem(text));
                } else if (item->text() != text) {
                    item->setText(text);
                }
            }
            // The second cell shows the row's line as the legend would.
            const auto at = static_cast<std::size_t>(row);
            const int line = at < shown.rowLines.size() ? shown.rowLines[at] : -1;
            if (QTableWidgetItem* named = table->columnCount() > 1 ? table->item(row, 1) : nullptr;
                named != nullptr && named->data(Qt::UserRole).toInt() != line + 1) {
                named->setData(Qt::UserRole, line + 1);
                named->setData(Qt::DecorationRole, line >= 0 ? QVariant(PenSwatch(static_cast<std::size_t>(line))) : QVariant());
            }
        }
        if (reshaped) table->resizeColumnsToContents();
    }

    bool SaveTo(const std::string& path, std::string* error) {
        std::string reason;
        const bool saved = save && save(path, &reason);
        if (!save) reason = "nothing to save";
        if (status != nullptr)
            status->setText(saved ? Text("Saved to " + path) : Text("Not saved: " + reason));
        if (!saved && error != nullptr) *error = reason;
        return saved;
    }
};

CChartWindow::CChartWindow() : m_impl(std::make_unique<Impl>()) {}

CChartWindow::~CChartWindow() {
    if (m_impl->dialog) delete m_impl->dialog.data();
}

void CChartWindow::Show(CFrameWnd* owner, const std::string& title, ContentSource source, SaveAction save) {
    if (m_impl->dialog == nullptr) m_impl->Build(owner != nullptr ? owner->GetFrameWidget() : nullptr);
    m_impl->source = std::move(source);
    m_impl->save = std::move(save);
    m_impl->dialog->setWindowTitle(Text(title));
    m_impl->Fill();
    m_impl->timer->start();
    m_impl->dialog->show();
    // Shared out again now that the window has its size.
    m_impl->dialog->layout()->activate();
    m_impl->ShareOutRoom(m_impl->chartsShown);
    m_impl->dialog->raise();
    m_impl->dialog->activateWindow();
}

void CChartWindow::Close() {
    if (m_impl->dialog == nullptr) return;
    m_impl->timer->stop();
    m_impl->dialog->hide();
}

bool CChartWindow::IsShown() const { return m_impl->dialog != nullptr && m_impl->dialog->isVisible(); }

void CChartWindow::Refresh() { m_impl->Fill(); }

void CChartWindow::PaintNow() {
    if (m_impl->dialog == nullptr) return;
    QPixmap image(m_impl->dialog->size());
    m_impl->dialog->render(&image);
}

const ChartContent& CChartWindow::Shown() const { return m_impl->shown; }

std::size_t CChartWindow::PlottedPoints() const { return m_impl->plotted; }

std::vector<ChartLineStyle> CChartWindow::LineStyles(std::size_t panel) const {
    std::vector<ChartLineStyle> styles;
    if (panel >= m_impl->panels.size()) return styles;
    for (const QLineSeries* series : m_impl->panels[panel]->lines) {
        const QPen pen = series->pen();
        const QColor colour = pen.color();
        const ChartDash dash = pen.style() == Qt::DashLine      ? ChartDash::Dash
                               : pen.style() == Qt::DotLine     ? ChartDash::Dot
                               : pen.style() == Qt::DashDotLine ? ChartDash::DashDot
                                                                : ChartDash::Solid;
        styles.push_back({static_cast<unsigned char>(colour.red()), static_cast<unsigned char>(colour.green()),
                          static_cast<unsigned char>(colour.blue()), dash});
    }
    return styles;
}

ChartRoom CChartWindow::Room() const {
    ChartRoom room;
    if (m_impl->dialog == nullptr) return room;
    for (std::size_t i = 0; i < m_impl->shown.panels.size() && i < m_impl->panels.size(); ++i) {
        const Panel& panel = *m_impl->panels[i];
        room.panels.push_back(panel.view->isVisibleTo(m_impl->dialog) ? panel.view->height() : panel.empty->height());
    }
    room.table = m_impl->table->height();
    return room;
}

bool CChartWindow::SaveTo(const std::string& path, std::string* error) { return m_impl->SaveTo(path, error); }
