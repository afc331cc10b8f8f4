// The status list of the "Status" page: one line per status message, in a
// fixed-pitch font. Lines are kept in a model; appends are collected and
// shown together: at the next turn of the event loop when the view was last
// updated a while ago, otherwise when FlushInterval has passed since. A view
// update costs time in proportion to the lines it holds, so a flood of lines
// (a verify that fails on every byte of a large device) costs a few updates
// of the view instead of one per progress report.
#pragma once

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QListView>
#include <QString>
#include <QStringList>

#include <vector>

class TStatusLogModel : public QAbstractListModel {
    Q_OBJECT

  public:
    explicit TStatusLogModel(QObject* owner = nullptr) : QAbstractListModel(owner) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Appends a line; it reaches the view at the next Flush.
    void Append(const QString& line) { FLines.push_back(line); }
    // Announces the lines appended since the last flush; false when none.
    bool Flush();
    void Clear();
    int Count() const { return static_cast<int>(FLines.size()); }
    const QString& Line(int i) const { return FLines[static_cast<std::size_t>(i)]; }

  private:
    std::vector<QString> FLines;
    int FShown = 0; // rows the view knows of
};

class TStatusLog : public QListView {
    Q_OBJECT

  public:
    // Milliseconds between two updates of the view while lines keep coming.
    static constexpr int FlushInterval = 50;

    explicit TStatusLog(QWidget* owner = nullptr);

    void Append(const QString& line);
    void Clear();
    // Every line, also those not yet shown.
    QStringList Lines() const;
    int Count() const { return FModel->Count(); }
    // Shows the pending lines now; the view follows the end when it was at
    // the end before.
    void FlushPending();
    // Selects the last line and scrolls to it.
    void SelectLast();
    // Writes the lines as plain text, each ended by CR LF. The file is
    // replaced only when complete; a failure raises Exception naming it.
    void SaveToFile(const QString& fileName) const;

  private:
    TStatusLogModel* FModel;
    bool FFlushQueued = false;
    QElapsedTimer FSinceFlush;
};
