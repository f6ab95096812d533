#pragma once

#include <QAbstractListModel>
#include <QComboBox>
#include <QListView>
#include <QString>
#include <QStringList>
#include <QVector>

class QStringListModel;

// The drive, folder and file lists of the program's own pickers. Each list is a model behind a
// view; the folder and file lists hide entries whose names start with "." and sort names
// without regard to letter case.
namespace mixgen {

// The drive list: "/" and the mounted volumes, by their root paths.
class DriveList final : public QComboBox {
    Q_OBJECT

public:
    explicit DriveList(QWidget* parent);

    // Reads the volumes afresh; the current drive stays chosen while it is mounted.
    void refresh();
    // The root of the chosen volume.
    QString drive() const { return m_drive; }
    // Chooses the volume of path (the root that is its longest prefix). Emits change() when
    // that is another volume than before. False when path lies on no listed volume.
    bool setDrive(const QString& path);

signals:
    // Another drive was chosen, by the user or by setDrive.
    void change();

private:
    void chooseRow(int row);

    QString m_drive = QStringLiteral("/");
};

// The folder list's rows: the folders from the root down to the current folder, then the
// folders in it.
class FolderListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    static constexpr int DepthRole = Qt::UserRole + 1;
    static constexpr int PathRole = Qt::UserRole + 2;

    using QAbstractListModel::QAbstractListModel;

    // Shows folder (a full path of an existing folder); false and unchanged otherwise.
    bool setFolder(const QString& folder);
    QString folder() const { return m_folder; }
    // The row of the current folder itself.
    int currentRow() const { return m_currentRow; }
    QString pathAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Row {
        QString name;
        QString path;
        int depth;
        bool open;
    };
    QVector<Row> m_rows;
    QString m_folder;
    int m_currentRow = -1;
};

// The folder list: a click names a folder, a double click (or the space bar) opens it. Enter
// is left to the window's default button.
class FolderList final : public QListView {
    Q_OBJECT

public:
    explicit FolderList(QWidget* parent);

    QString path() const { return m_model->folder(); }
    // Shows the folder path; emits change() when that is another folder. False when path is
    // no folder (the list stays where it was).
    bool setPath(const QString& path);

signals:
    // The current folder changed.
    void change();
    // An entry was clicked or chosen with the keys: its full path.
    void entryClicked(const QString& fullPath);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openRow(int row);
    void selectCurrentRow();

    FolderListModel* m_model;
    bool m_selecting = false;
};

// The file list: the files of its folder that match its pattern.
class FileList final : public QListView {
    Q_OBJECT

public:
    explicit FileList(QWidget* parent);

    QString path() const { return m_path; }
    // Lists the files of folder; false when it is no folder (the list stays where it was).
    bool setPath(const QString& folder);
    // Patterns separated by ";" ("*.M3U"), matched in any letter case.
    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);
    // Lists only the files this user may run, whatever their names.
    void setExecutablesOnly(bool only);

    // The name of the selected file, without its folder; empty when none is selected.
    QString fileName() const;
    // A folder moves the list there; a path with a folder moves the list to that folder and
    // selects the file when it is listed; a bare name selects that file. False when the folder
    // named does not exist.
    bool setFileName(const QString& name);

signals:
    void fileClicked(const QString& name);
    void fileDoubleClicked(const QString& name);

private:
    void reload();
    void selectName(const QString& name);

    QStringListModel* m_model;
    QString m_path = QStringLiteral("/");
    QString m_pattern = QStringLiteral("*");
    bool m_executablesOnly = false;
};

} // namespace mixgen
