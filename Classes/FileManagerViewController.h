#pragma once
// The stored-files browser: lists the documents directory as a one-column
// table, walks down into its folders and back up, plays a stored file through
// the preview player, mails one through the mail composer and, in editing
// mode, deletes files and whole folders.
//
// Rows: in the documents directory row i shows entry i of files(); in any
// folder below it row 0 is the parent row ("..") and row i shows entry i - 1
// (the offset). Entries keep the order in which the file system lists them.
//
// Its layout is resources/FileManagerViewController.ui: the table
// (tableView), the edit button (editButton) and the quit control
// (quitButton). A presenter shows a new browser modally for each visit; the
// browser closes itself with its quit control. Destroying it stops playback.
//
// Its top folder is the documents directory, or the folder given with
// setDocumentDirectory() (a removable volume that a conversion wrote onto).
// The window's title names the folder shown; the screen lays itself out for
// the window's size.

#include "platform/mail/MailComposeViewController.h"
#include "platform/foundation/Url.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

#include <QStringList>
#include <memory>

class QPushButton;
namespace Ui { class FileManagerViewController; }
namespace ui { class Event; }

class FileManagerViewController : public ui::ViewController,
                                  public ui::TableViewDataSource,
                                  public ui::TableViewDelegate,
                                  public mail::MailComposeViewControllerDelegate {
    Q_OBJECT
public:
    // currentPlayingIndex() when no row is playing.
    static constexpr quint32 kNoPlayingIndex = 4294967295u;

    explicit FileManagerViewController(QObject* parent = nullptr);
    ~FileManagerViewController() override;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    // The folder shown now; the documents directory at first.
    QString rootDirectory() const { return rootDirectory_; }
    void setRootDirectory(const QString& path) { rootDirectory_ = path; }
    // Names of the entries directly inside rootDirectory(), as last listed.
    QStringList files() const { return files_; }
    void setFiles(const QStringList& files) { files_ = files; }
    // Row number of the file last started from this browser, or kNoPlayingIndex.
    quint32 currentPlayingIndex() const { return currentPlayingIndex_; }

    QString documentDirectory() const { return documentDirectory_; }
    // Makes `folder` the top folder, shown at once. Before the browser is presented.
    void setDocumentDirectory(const QString& folder);
    bool isDocumentDirectory() const;
    int offset() const;
    // The entry name shown in a row; empty for the parent row.
    QString fileAtIndexPath(const ui::IndexPath& indexPath) const;
    QString fullPath(const QString& name) const;
    Url fileURL(const ui::IndexPath& indexPath) const;
    bool isDirectory(const QString& name) const;
    // Lists rootDirectory() again and enables the edit button when it has entries.
    void reloadStoredFiles();

    // Table data source and delegate.
    int numberOfSectionsInTableView(ui::TableView* tableView) override;
    int numberOfRowsInSection(ui::TableView* tableView, int section) override;
    ui::TableViewCell* cellForRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;
    bool canEditRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;
    // A stored file or folder, dragged out of the window.
    QList<QUrl> urlsForDraggingRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;
    void commitEditingStyle(ui::TableView* tableView, ui::TableViewCellEditingStyle editingStyle,
                            const ui::IndexPath& indexPath) override;

    // Actions; the sender is ignored.
    void edit(QObject* sender);
    void quit(QObject* sender);
    // The mail button of a file row: mails the file of the row under the touch.
    void checkButtonTapped(QObject* sender, const ui::Event& event);

    void mailComposeController(mail::MailComposeViewController* controller, mail::MailComposeResult result,
                               const QString& error) override;

    // Views of the layout.
    ui::TableView* tableView() const;
    QPushButton* editButton() const;
    QPushButton* quitButton() const;

protected:
    void loadView() override;

private:
    void tellDeletionFailed(const QString& name);

    std::unique_ptr<Ui::FileManagerViewController> form_;
    QString documentDirectory_;
    QString rootDirectory_;
    QStringList files_;
    quint32 currentPlayingIndex_ = kNoPlayingIndex;
};
