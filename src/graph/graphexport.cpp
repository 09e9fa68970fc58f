#include "graph/graphexport.h"

#include "common/cp932.h"
#include "csvlog/channellog.h"
#include "graph/trendcanvas.h"
#include "model/inputrange.h"
#include "ui/language.h"
#include "ui/messages.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>

#include <cmath>
#include <vector>

namespace qn {

namespace {

QString columnTitle(const TrendSeries &s)
{
    QString title = QString::fromStdString(s.name());
    if (!s.unit().empty())
        title += QStringLiteral(" [") + QString::fromStdString(s.unit()) + QLatin1Char(']');
    // A name with a comma or quote would shift every column after it.
    if (title.contains(QLatin1Char(',')) || title.contains(QLatin1Char('"')))
        title = QLatin1Char('"') + title.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    return title;
}

QString valueField(const TrendSeries &s, double value)
{
    if (s.isDigital())
        return value != 0 ? QStringLiteral("1") : QStringLiteral("0");
    return QString::fromStdString(ai::trimmedValue(value));
}

QString chooseWithDialog(QWidget *parent, const QString &title, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, title, QString(), filter);
}

} // namespace

QByteArray visibleSamplesCsv(std::span<const TrendSeries *const> series, double t0, double t1, const QLocale &locale)
{
    struct Column {
        const TrendSeries *series;
        int next, last; // indexes still to write
    };
    std::vector<Column> columns;
    QString header = QStringLiteral("日付,時刻");
    for (const TrendSeries *s : series) {
        if (!s || !s->isVisible())
            continue;
        header += QLatin1Char(',') + columnTitle(*s);
        const bool any = s->count() > 0 && t1 >= t0;
        columns.push_back({s, any ? s->lowerIndex(t0) : 0, any ? s->upperIndex(t1) : -1});
    }
    QStringEncoder encoder = cp932Encoder();
    QByteArray out = toCp932(encoder, header + QLatin1Char('\n'));
    QString timeFormat = logTimeFormat(locale);
    const qsizetype seconds = timeFormat.indexOf(QLatin1String("ss"));
    if (seconds >= 0)
        timeFormat.insert(seconds + 2, QStringLiteral(".zzz"));
    QString row;
    for (;;) {
        // The oldest time any column has still to write makes the next row.
        double t = INFINITY;
        for (const Column &c : columns)
            if (c.next <= c.last)
                t = std::min(t, c.series->at(std::size_t(c.next)).time);
        if (!std::isfinite(t))
            break;
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(qint64(std::llround(t * 1000.0)));
        row = logDateText(when.date(), locale) + QLatin1Char(',') + locale.toString(when.time(), timeFormat);
        for (Column &c : columns) {
            row += QLatin1Char(',');
            if (c.next <= c.last && c.series->at(std::size_t(c.next)).time == t)
                row += valueField(*c.series, c.series->at(std::size_t(c.next++)).value);
        }
        row += QLatin1Char('\n');
        out += toCp932(encoder, row);
    }
    return out;
}

GraphExporter::GraphExporter(TrendCanvas &canvas) : QObject(&canvas), m_canvas(canvas), m_chooser(chooseWithDialog)
{
    m_menu = new QMenu(&canvas);
    m_menu->setObjectName(QStringLiteral("graphMenu"));
    m_saveImage = m_menu->addAction(QString());
    m_saveImage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_saveCsv = m_menu->addAction(QString());
    m_saveCsv->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_copy = m_menu->addAction(QString());
    m_copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    keepTranslated(m_menu, [this] {
        m_menu->setAccessibleName(tr("グラフ"));
        m_saveImage->setText(tr("画像を保存..."));
        m_saveCsv->setText(tr("CSVで保存..."));
        m_copy->setText(tr("コピー"));
    });
    connect(m_saveImage, &QAction::triggered, this,
            [this] { chooseAndSave(tr("画像を保存"), QStringLiteral("PNG (*.png)"), &GraphExporter::saveImage); });
    connect(m_saveCsv, &QAction::triggered, this,
            [this] { chooseAndSave(tr("CSVで保存"), QStringLiteral("CSV (*.csv)"), &GraphExporter::saveCsv); });
    connect(m_copy, &QAction::triggered, this, &GraphExporter::copyImage);
}

GraphExporter::~GraphExporter() = default;

void GraphExporter::setFileChooser(SaveFileChooser chooser)
{
    m_chooser = chooser ? std::move(chooser) : SaveFileChooser(chooseWithDialog);
}

QMenu *GraphExporter::menu()
{
    return m_menu;
}

void GraphExporter::showMenu(const QPoint &globalPos)
{
    // popup, not exec: the canvas goes on taking readings while the menu is up.
    m_menu->popup(globalPos);
    if (!m_menu->activeAction())
        m_menu->setActiveAction(m_saveImage);
}

bool GraphExporter::handleShortcut(const QKeyEvent *event)
{
    const QKeySequence pressed(event->keyCombination());
    for (QAction *action : {m_saveImage, m_saveCsv, m_copy}) {
        if (action->shortcut() == pressed) {
            action->trigger();
            return true;
        }
    }
    return false;
}

QImage GraphExporter::image() const
{
    return m_canvas.renderToImage(m_canvas.devicePixelRatioF());
}

bool GraphExporter::writeWhole(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    // QSaveFile writes beside the target and renames only when all went well, so a full disk
    // leaves the old file (or none), never half of the new one.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && write(file) && file.commit())
        return true;
    file.cancelWriting();
    showMessage(&m_canvas, [path] { return tr("ファイルを保存できませんでした。\n%1").arg(path); });
    return false;
}

bool GraphExporter::saveImage(const QString &path)
{
    const QImage picture = image();
    return writeWhole(path, [&](QIODevice &file) { return picture.save(&file, "PNG"); });
}

bool GraphExporter::saveCsv(const QString &path)
{
    std::vector<const TrendSeries *> shown;
    for (int i = 0; i < m_canvas.seriesCount(); ++i)
        shown.push_back(m_canvas.series(i));
    const QByteArray bytes = visibleSamplesCsv(shown, m_canvas.viewStart(), m_canvas.viewEnd());
    return writeWhole(path, [&](QIODevice &file) { return file.write(bytes) == bytes.size(); });
}

void GraphExporter::copyImage()
{
    QGuiApplication::clipboard()->setImage(image());
}

void GraphExporter::chooseAndSave(const QString &title, const QString &filter,
                                  bool (GraphExporter::*save)(const QString &))
{
    const QString path = m_chooser(&m_canvas, title, filter);
    if (!path.isEmpty())
        (this->*save)(path);
}

} // namespace qn
