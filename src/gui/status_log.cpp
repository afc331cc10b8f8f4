#include "gui/status_log.h"

#include "errors/errors.h"

#include <QFontDatabase>
#include <QSaveFile>
#include <QScrollBar>
#include <QTimer>

int TStatusLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FShown;
}

QVariant TStatusLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FShown) return {};
    // A line wider than the page ends in an ellipsis; its tip shows it whole.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return FLines[static_cast<std::size_t>(index.row())];
    return {};
}

bool TStatusLogModel::Flush() {
    const int total = Count();
    if (total == FShown) return false;
    beginInsertRows({}, FShown, total - 1);
    FShown = total;
    endInsertRows();
    return true;
}

void TStatusLogModel::Clear() {
    beginResetModel();
    FLines.clear();
    FShown = 0;
    endResetModel();
}

TStatusLog::TStatusLog(QWidget* owner) : QListView(owner), FModel(new TStatusLogModel(this)) {
    setModel(FModel);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TStatusLog::Append(const QString& line) {
    FModel->Append(line);
    if (!FFlushQueued) {
        FFlushQueued = true;
        const qint64 since = FSinceFlush.isValid() ? FSinceFlush.elapsed() : qint64(FlushInterval);
        QTimer::singleShot(since >= FlushInterval ? 0 : int(FlushInterval - since), this,
                           &TStatusLog::FlushPending);
    }
}

void TStatusLog::Clear() {
    FModel->Clear();
}

QStringList TStatusLog::Lines() const {
    QStringList all;
    all.reserve(FModel->Count());
    for (int i = 0; i < FModel->Count(); ++i)
        all.append(FModel->Line(i));
    return all;
}

void TStatusLog::FlushPending() {
    FFlushQueued = false;
    FSinceFlush.start();
    const QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    if (FModel->Flush() && atEnd) scrollToBottom();
}

void TStatusLog::SelectLast() {
    FlushPending();
    const int n = FModel->rowCount();
    if (n == 0) return;
    const QModelIndex last = FModel->index(n - 1);
    setCurrentIndex(last);
    scrollTo(last);
}

void TStatusLog::SaveToFile(const QString& fileName) const {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception("Cannot create file \"" + fileName.toStdString() + "\". " +
                        file.errorString().toStdString());
    for (int i = 0; i < FModel->Count(); ++i) {
        const QByteArray bytes = FModel->Line(i).toUtf8() + "\r\n";
        if (file.write(bytes) != bytes.size()) break;
    }
    if (!file.commit())
        throw Exception("Cannot write file \"" + fileName.toStdString() + "\". " +
                        file.errorString().toStdString());
}
