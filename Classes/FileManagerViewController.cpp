#include "Classes/FileManagerViewController.h"

#include "Classes/AudioPlayerHelper.h"
#include "Classes/EmailHelper.h"
#include "Classes/OutputRecord.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/DocumentsLock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"

#include "ui_FileManagerViewController.h"

#include <QFile>
#include <QLabel>
#include <algorithm>
#include <sys/stat.h>

namespace {

const QString kCellIdentifier = QStringLiteral("Cell");
const QString kParentRowText = QStringLiteral("..");
const QString kErrorLogName = QStringLiteral("error.log");

// Whether anything, a dangling link included, is at `path`.
bool somethingAt(const QString& path)
{
    struct stat st {};
    return ::lstat(path::native(path).constData(), &st) == 0;
}

} // namespace

FileManagerViewController::FileManagerViewController(QObject* parent)
    : ui::ViewController(parent), form_(std::make_unique<Ui::FileManagerViewController>())
{
    documentDirectory_ = documents::documentsDirectory();
    rootDirectory_ = documentDirectory_;
    reloadStoredFiles(); // the edit button comes with the view; viewDidLoad sets it
    currentPlayingIndex_ = kNoPlayingIndex;
}

void FileManagerViewController::setDocumentDirectory(const QString& folder)
{
    documentDirectory_ = folder;
    rootDirectory_ = folder;
    reloadStoredFiles();
}

FileManagerViewController::~FileManagerViewController()
{
    AudioPlayerHelper::sharedInstance()->stopPlayback();
}

void FileManagerViewController::loadView()
{
    QWidget* v = loadLayout(*form_);
    ui::setBackgroundColor(v, Qt::black);
    connect(form_->editButton, &QPushButton::clicked, this, [this] { edit(form_->editButton); });
    connect(form_->quitButton, &QPushButton::clicked, this, [this] { quit(form_->quitButton); });
    form_->tableView->setDelegate(this);
    form_->tableView->setDataSource(this);
    setView(v);
}

void FileManagerViewController::viewDidLoad()
{
    ui::ViewController::viewDidLoad();
    editButton()->setEnabled(!files_.isEmpty());
    ui::setBackgroundColor(tableView(), Qt::transparent);
}

// The bar along the top, the list below it across the window (no wider than
// a comfortable line on a wide one).
void FileManagerViewController::viewDidLayoutSubviews()
{
    const int w = view()->width(), h = view()->height();
    const int column = std::min(w - 12, 800);
    const int x = (w - column) / 2;
    quitButton()->setGeometry(x + 2, 7, 84, 32);
    editButton()->setGeometry(x + column - 110, 7, 108, 32);
    form_->titleLabel->setGeometry(x + 88, 4, column - 200, 38);
    tableView()->setGeometry(x, 48, column, h - 54);
}

bool FileManagerViewController::isDocumentDirectory() const
{
    return rootDirectory_ == documentDirectory_;
}

int FileManagerViewController::offset() const
{
    return isDocumentDirectory() ? 0 : 1;
}

QString FileManagerViewController::fileAtIndexPath(const ui::IndexPath& indexPath) const
{
    const int index = indexPath.row - offset();
    if (index < 0 || index >= files_.size())
        return QString();
    return files_.at(index);
}

QString FileManagerViewController::fullPath(const QString& name) const
{
    return path::appendingComponent(rootDirectory_, name);
}

Url FileManagerViewController::fileURL(const ui::IndexPath& indexPath) const
{
    return Url::fileURLWithPath(fullPath(fileAtIndexPath(indexPath)));
}

bool FileManagerViewController::isDirectory(const QString& name) const
{
    bool directory = false;
    return filemanager::fileExistsAtPath(fullPath(name), &directory) && directory;
}

void FileManagerViewController::reloadStoredFiles()
{
    files_ = filemanager::contentsOfDirectoryAtPath(rootDirectory_).value_or(QStringList());
    // The conversion runs' lock file and the record of which song each output
    // came from are no stored files: deleting the lock would let two runs
    // write into the folder at once.
    if (isDocumentDirectory()) {
        files_.removeAll(DocumentsLock::lockFileName());
        files_.removeAll(OutputRecord::fileName());
        files_.removeAll(OutputRecord::runFileName());
    }
    if (isViewLoaded())
        editButton()->setEnabled(!files_.isEmpty());
    const QString below = rootDirectory_.mid(documentDirectory_.size() + 1);
    setTitle(isDocumentDirectory() || !rootDirectory_.startsWith(documentDirectory_ + u'/')
                 ? L("Files")
                 : QStringLiteral("%1: %2").arg(L("Files"), below));
}

int FileManagerViewController::numberOfSectionsInTableView(ui::TableView*)
{
    return 1;
}

int FileManagerViewController::numberOfRowsInSection(ui::TableView*, int)
{
    return int(files_.size()) + offset();
}

ui::TableViewCell* FileManagerViewController::cellForRowAtIndexPath(ui::TableView* table,
                                                                    const ui::IndexPath& indexPath)
{
    ui::TableViewCell* cell = table->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = new ui::TableViewCell(ui::TableViewCellStyle::Default, kCellIdentifier);

    const bool parentRow = indexPath.row < offset();
    const QString name = parentRow ? QString() : fileAtIndexPath(indexPath);
    const bool folder = !parentRow && isDirectory(name);
    if (parentRow) {
        cell->textLabel()->setText(kParentRowText);
        cell->setImage(ui::imageNamed(QStringLiteral("folder.png")));
    } else if (name == kErrorLogName) {
        cell->textLabel()->setText(name);
        cell->setImage(QImage());
    } else {
        cell->textLabel()->setText(path::deletingExtension(name));
        cell->setImage(ui::imageNamed(folder ? QStringLiteral("folder.png") : QStringLiteral("file.png")));
    }

    // Every file row carries the mail button. The row's kind decides, not
    // its text: a file named "..." also shows as "..". A reused cell keeps
    // its mail button and background: the button finds its row by the touch.
    auto* mailButton = qobject_cast<ui::Button*>(cell->accessoryView());
    cell->setAccessoryType(ui::TableViewCellAccessoryType::None);
    if (parentRow || folder) {
        cell->setAccessoryView(nullptr);
    } else {
        cell->setAccessoryType(ui::TableViewCellAccessoryType::DetailDisclosureButton);
        if (!mailButton) {
            mailButton = new ui::Button;
            const QImage mail = ui::imageNamed(QStringLiteral("mail.png"));
            mailButton->setGeometry(QRect(QPoint(0, 0), mail.deviceIndependentSize().toSize()));
            mailButton->setBackgroundImage(mail);
            mailButton->setBackgroundColor(Qt::transparent);
            mailButton->setAccessibleName(L("E-Mail"));
            mailButton->addTouchUpInsideAction(this, [this](ui::Button* sender, const ui::Event& event) {
                checkButtonTapped(sender, event);
            });
            cell->setAccessoryView(mailButton);
        }
    }

    if (!cell->backgroundView()) {
        auto* background = new QWidget;
        background->setGeometry(0, 0, 0, 0);
        ui::setBackgroundColor(background, Qt::black);
        ui::setClipsToBounds(background, true);
        ui::setAlpha(background, 0.6);
        ui::Layer* layer = ui::Layer::of(background);
        layer->setCornerRadius(5);
        layer->setBorderWidth(1);
        layer->setBorderColor(Qt::white);
        cell->setBackgroundView(background);
    }

    cell->setTextColor(Qt::white);
    cell->textLabel()->setFont(ui::theme::systemFont(ui::theme::kLabelFontSize - 4));
    return cell;
}

bool FileManagerViewController::canEditRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath)
{
    return isDocumentDirectory() || indexPath.row != 0;
}

QList<QUrl> FileManagerViewController::urlsForDraggingRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath)
{
    if (indexPath.row < offset())
        return {}; // "..": no stored file
    const QString name = fileAtIndexPath(indexPath);
    if (name.isEmpty() || !somethingAt(fullPath(name)))
        return {};
    return {QUrl::fromLocalFile(fullPath(name))};
}

void FileManagerViewController::didSelectRowAtIndexPath(ui::TableView* table, const ui::IndexPath& indexPath)
{
    if (!isDocumentDirectory() && indexPath.row == 0) {
        // Up the way the user came down, as text: through a link to a folder
        // elsewhere this leads back here, never to the link target's parent.
        const QString up = path::deletingLastComponent(rootDirectory_);
        const bool inside = up == documentDirectory_ || up.startsWith(documentDirectory_ + u'/');
        rootDirectory_ = inside ? up : documentDirectory_;
    } else {
        const QString name = fileAtIndexPath(indexPath);
        if (name.isEmpty())
            return;
        const QString path = fullPath(name);
        if (!isDirectory(name)) {
            currentPlayingIndex_ = quint32(indexPath.row);
            AudioPlayerHelper::sharedInstance()->playbackMediaItem(Url::fileURLWithPath(path));
            return; // the row stays highlighted
        }
        rootDirectory_ = path;
    }
    reloadStoredFiles();
    table->reloadData();
}

void FileManagerViewController::commitEditingStyle(ui::TableView* table, ui::TableViewCellEditingStyle editingStyle,
                                                   const ui::IndexPath& indexPath)
{
    if (editingStyle != ui::TableViewCellEditingStyle::Delete)
        return;
    const QString name = fileAtIndexPath(indexPath);
    if (name.isEmpty())
        return; // the parent row, or a row the listing no longer has
    const quint32 row = quint32(indexPath.row);
    if (row == currentPlayingIndex_) {
        AudioPlayerHelper::sharedInstance()->stopPlayback();
        currentPlayingIndex_ = kNoPlayingIndex;
    }

    const QString path = fullPath(name);
    QStringList expected = files_;
    expected.removeAt(indexPath.row - offset());
    filemanager::removeItemAtPath(path);
    reloadStoredFiles();
    // Gone only when neither the path nor the new listing has it (a name the
    // file system spells in bytes that are no text cannot be reached by path).
    const bool gone = !somethingAt(path) && !files_.contains(name);
    // The playing row moves up only when a row above it really went away.
    if (gone && currentPlayingIndex_ != kNoPlayingIndex && row < currentPlayingIndex_)
        --currentPlayingIndex_;

    if (files_ == expected)
        table->deleteRowsAtIndexPaths({indexPath}, ui::TableViewRowAnimation::Fade);
    else
        table->reloadData(); // the folder changed otherwise: show the new listing
    if (files_.isEmpty())
        table->setEditing(false, true);
    if (!gone)
        tellDeletionFailed(name);
}

void FileManagerViewController::tellDeletionFailed(const QString& name)
{
    auto* alert = new ui::AlertView(name, L("This entry could not be deleted."), nullptr, L("OK"), {}, this);
    alert->show();
}

void FileManagerViewController::edit(QObject*)
{
    tableView()->setEditing(!tableView()->isEditing(), true);
}

void FileManagerViewController::quit(QObject*)
{
    // Through the presenter, so a composer still open goes with the browser.
    if (ui::ViewController* presenter = parentViewController())
        presenter->dismissModalViewControllerAnimated(true);
}

void FileManagerViewController::checkButtonTapped(QObject*, const ui::Event& event)
{
    const ui::Touch* touch = event.anyTouch();
    if (!touch)
        return;
    const auto indexPath = tableView()->indexPathForRowAtPoint(touch->locationInView(tableView()));
    if (!indexPath)
        return;
    const QString name = fileAtIndexPath(*indexPath);
    if (name.isEmpty())
        return;
    EmailHelper().emailFile(fileURL(*indexPath), name, this, this);
}

void FileManagerViewController::mailComposeController(mail::MailComposeViewController*, mail::MailComposeResult,
                                                      const QString&)
{
    if (modalViewController())
        dismissModalViewControllerAnimated(true);
}

ui::TableView* FileManagerViewController::tableView() const { return form_->tableView; }
QPushButton* FileManagerViewController::editButton() const { return form_->editButton; }
QPushButton* FileManagerViewController::quitButton() const { return form_->quitButton; }
