#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

class QFrame;
class QLineEdit;
class QPushButton;

namespace mixgen {

class DriveList;
class FolderList;
class frmMain;

// The folder picker: adds a folder, chosen in its drive and folder lists or typed, to the
// main window's search path list. Its buttons hide it, so it keeps its drive and folder
// between uses; its close box unloads it. Its tag "1" says it was opened for the path box.
class frmFolder final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Tag READ Tag WRITE setTag)

public:
    explicit frmFolder(frmMain& main);
    ~frmFolder() override;

    QString Tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    // True once the close box has asked the window to unload; its owner then destroys it.
    bool unloadRequested() const { return m_unloadRequested; }

    QFrame* Frame1 = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSet = nullptr;
    DriveList* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    QLineEdit* txtPath = nullptr;

public slots:
    void Form_Activate();
    void Drive1_Change();
    void Dir1_Click(const QString& fullPath);
    void cmdSet_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void initWindow();
    void initButtons();
    void initLists();
    void initTabOrder();
    // The folder the lists last showed on the drive: where a change to that drive returns.
    QString currentFolderOf(const QString& drive) const;

    frmMain& m_main;
    QString m_tag;
    QHash<QString, QString> m_driveFolders;
    bool m_unloadRequested = false;
};

} // namespace mixgen
