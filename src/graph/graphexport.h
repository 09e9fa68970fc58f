#pragma once
// Save and copy of the trend graph: the picture as PNG or on the clipboard, and the samples
// of the visible time range as CSV in the log's encoding and number formats. A write that
// fails tells the operator (the program's message presenter) and leaves no file behind.
// GUI thread only.
#include <QByteArray>
#include <QImage>
#include <QLocale>
#include <QObject>
#include <QString>

#include <functional>
#include <span>

class QAction;
class QKeyEvent;
class QMenu;
class QWidget;

namespace qn {

class TrendCanvas;
class TrendSeries;

// The samples of the shown series with times in [t0, t1] (both ends included), one row per
// time, oldest first: "日付,時刻" (time with milliseconds) and a column per series headed
// by its name and unit; a series without a sample at a row's time leaves its field empty.
// Code page 932 with LF line ends, values as the log writes them.
QByteArray visibleSamplesCsv(std::span<const TrendSeries *const> series, double t0, double t1,
                             const QLocale &locale = QLocale::system());

// Asks where to save: parent, title and file filter in, the chosen path out (empty: cancel).
using SaveFileChooser = std::function<QString(QWidget *, const QString &, const QString &)>;

class GraphExporter final : public QObject {
    Q_OBJECT
public:
    explicit GraphExporter(TrendCanvas &canvas);
    ~GraphExporter() override;

    // Replaces the modal file dialog (tests); an empty chooser puts it back.
    void setFileChooser(SaveFileChooser chooser);

    // The context menu: "画像を保存...", "CSVで保存...", "コピー", with their shortcuts.
    QMenu *menu();
    void showMenu(const QPoint &globalPos);
    // Runs the action whose shortcut the key is; false when it is none of them.
    bool handleShortcut(const QKeyEvent *event);

    // The graph as the screen shows it, at the canvas's device pixel ratio.
    QImage image() const;
    // Each writes whole or not at all; false (and a message) when the write failed.
    bool saveImage(const QString &path);
    bool saveCsv(const QString &path);
    void copyImage();

    QAction *saveImageAction() const { return m_saveImage; }
    QAction *saveCsvAction() const { return m_saveCsv; }
    QAction *copyAction() const { return m_copy; }

private:
    void chooseAndSave(const QString &title, const QString &filter, bool (GraphExporter::*save)(const QString &));
    bool writeWhole(const QString &path, const std::function<bool(QIODevice &)> &write);

    TrendCanvas &m_canvas;
    SaveFileChooser m_chooser;
    QMenu *m_menu = nullptr;
    QAction *m_saveImage = nullptr;
    QAction *m_saveCsv = nullptr;
    QAction *m_copy = nullptr;
};

} // namespace qn
