#include "windows/pickerlists.h"

#include "platform/volumes.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QStringListModel>
#include <QStyle>
#include <QStyledItemDelegate>

namespace mixgen {

namespace {

// Names as the lists show them: without regard to letter case, then exactly.
bool namesInOrder(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QStringList sortedNames(QStringList names) {
    std::sort(names.begin(), names.end(), namesInOrder);
    return names;
}

bool isFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// Indents each folder row by its depth, as a tree drawn in a flat list.
class FolderRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += indent(index);
        return size;
    }

private:
    static int indent(const QModelIndex& index) {
        return 10 * index.data(FolderListModel::DepthRole).toInt();
    }
};

} // namespace

// ---- the drive list ----

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    refresh();
    connect(this, &QComboBox::activated, this, &DriveList::chooseRow);
}

void DriveList::refresh() {
    const QStringList volumes = mountedVolumes();
    const QSignalBlocker quiet(this);
    clear();
    addItems(volumes);
    const int row = static_cast<int>(volumes.indexOf(m_drive));
    // A drive that went away stays named until another is chosen; its change then fails.
    if (row < 0)
        addItem(m_drive);
    setCurrentIndex(row < 0 ? count() - 1 : row);
}

void DriveList::chooseRow(int row) {
    const QString chosen = itemText(row);
    if (chosen == m_drive)
        return;
    m_drive = chosen;
    emit change();
}

bool DriveList::setDrive(const QString& path) {
    QStringList volumes;
    for (int row = 0; row < count(); ++row)
        volumes.append(itemText(row));
    QString volume = volumeOf(path, volumes);
    if (volume.isEmpty())
        return false;
    // A longer root may have been mounted since the list was read.
    const QString fresh = volumeOf(path, mountedVolumes());
    if (fresh.size() > volume.size()) {
        refresh();
        volume = fresh;
    }
    {
        const QSignalBlocker quiet(this);
        setCurrentIndex(findText(volume, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    if (volume != m_drive) {
        m_drive = volume;
        emit change();
    }
    return true;
}

// ---- the folder list ----

bool FolderListModel::setFolder(const QString& folder) {
    if (!folder.startsWith(u'/') || !isFolder(folder))
        return false;
    const QString clean = QDir::cleanPath(folder);

    QVector<Row> rows;
    QString path = QStringLiteral("/");
    rows.append({path, path, 0, true});
    const QStringList parts = clean.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        path = joined(path, part);
        rows.append({part, path, static_cast<int>(rows.size()), true});
    }
    const int current = static_cast<int>(rows.size()) - 1;
    const QStringList children =
        sortedNames(QDir(clean).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted));
    rows.reserve(rows.size() + children.size());
    for (const QString& child : children)
        rows.append({child, joined(clean, child), current + 1, false});

    beginResetModel();
    m_rows = std::move(rows);
    m_folder = clean;
    m_currentRow = current;
    endResetModel();
    return true;
}

QString FolderListModel::pathAt(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows[row].path : QString();
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row& row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return row.name;
    case Qt::ToolTipRole:
    case PathRole:
        return row.path;
    case DepthRole:
        return row.depth;
    case Qt::DecorationRole:
        return QApplication::style()->standardIcon(row.open ? QStyle::SP_DirOpenIcon
                                                            : QStyle::SP_DirClosedIcon);
    default:
        return {};
    }
}

FolderList::FolderList(QWidget* parent) : QListView(parent), m_model(new FolderListModel(this)) {
    setModel(m_model);
    setItemDelegate(new FolderRowDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    m_model->setFolder(QStringLiteral("/"));
    selectCurrentRow();

    connect(this, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { openRow(index.row()); });
    // A click on the row already chosen names it too.
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { emit entryClicked(m_model->pathAt(index.row())); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (!m_selecting && index.isValid())
                    emit entryClicked(m_model->pathAt(index.row()));
            });
}

bool FolderList::setPath(const QString& path) {
    const QString before = m_model->folder();
    if (!m_model->setFolder(path))
        return false;
    selectCurrentRow();
    if (m_model->folder() != before)
        emit change();
    return true;
}

void FolderList::openRow(int row) {
    QString target = m_model->pathAt(row);
    // A folder removed meanwhile (or a volume taken away): the nearest folder still there.
    while (!target.isEmpty() && !isFolder(target) && target != u'/')
        target = QFileInfo(target).path();
    if (!setPath(target))
        setPath(QStringLiteral("/"));
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && currentIndex().isValid()) {
        openRow(currentIndex().row());
        return;
    }
    QListView::keyPressEvent(event);
}

void FolderList::selectCurrentRow() {
    m_selecting = true;
    const QModelIndex current = m_model->index(m_model->currentRow());
    setCurrentIndex(current);
    scrollTo(current);
    m_selecting = false;
}

// ---- the file list ----

FileList::FileList(QWidget* parent) : QListView(parent), m_model(new QStringListModel(this)) {
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { emit fileClicked(index.data().toString()); });
    connect(this, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { emit fileDoubleClicked(index.data().toString()); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (index.isValid() && hasFocus())
                    emit fileClicked(index.data().toString());
            });
}

bool FileList::setPath(const QString& folder) {
    if (!folder.startsWith(u'/') || !isFolder(folder))
        return false;
    m_path = QDir::cleanPath(folder);
    reload();
    return true;
}

void FileList::setPattern(const QString& pattern) {
    m_pattern = pattern;
    reload();
}

void FileList::setExecutablesOnly(bool only) {
    m_executablesOnly = only;
    reload();
}

void FileList::reload() {
    // The file chosen stays chosen while it is still listed.
    const QString chosen = fileName();
    QDir folder(m_path);
    folder.setNameFilters(m_executablesOnly ? QStringList()
                                            : m_pattern.split(u';', Qt::SkipEmptyParts));
    QDir::Filters filters = QDir::Files;
    if (m_executablesOnly)
        filters |= QDir::Executable;
    folder.setFilter(filters);
    folder.setSorting(QDir::Unsorted);
    m_model->setStringList(sortedNames(folder.entryList()));
    if (!chosen.isEmpty())
        selectName(chosen);
}

QString FileList::fileName() const {
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.data().toString()
                                                                      : QString();
}

bool FileList::setFileName(const QString& name) {
    if (name.contains(u'/')) {
        if (isFolder(name))
            return setPath(name);
        const QFileInfo info(name);
        if (!setPath(info.path()))
            return false;
        selectName(info.fileName());
        return true;
    }
    selectName(name);
    return true;
}

void FileList::selectName(const QString& name) {
    const int row = static_cast<int>(m_model->stringList().indexOf(name));
    if (row < 0) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    const QModelIndex index = m_model->index(row);
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

} // namespace mixgen
