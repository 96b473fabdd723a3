#pragma once
// Action sheets: a menu of buttons, one a row, under an optional title, that
// slides up from the bottom of the window and reports the pressed button's
// index to its delegate.
//
// Button indexes: the destructive button (if any) is 0, the other buttons
// follow in the order given, the cancel button (if any) comes last.
//
// The sheet object holds the menu's definition and may be shown again and
// again; showInView() builds the menu on screen from it. When a button is
// pressed the menu is taken off the sheet (isVisible() turns false), the
// delegate's actionSheet(sheet, index) runs, and the menu slides out. The
// delegate may show this or another sheet from inside that call. The delegate
// is not owned; a sheet owned by its delegate (the usual case) never outlives
// it, and a sheet that has been destroyed reports nothing.

#include <QObject>
#include <QPointer>
#include <QStringList>

class QAbstractButton;
class QWidget;

namespace ui {

class ActionSheet;
class SheetOverlay;

class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheet(ActionSheet* actionSheet, int clickedButtonAtIndex) = 0;
};

class ActionSheet : public QObject {
    Q_OBJECT
public:
    static constexpr double kSlideDuration = 0.3;

    ActionSheet(const QString& title, ActionSheetDelegate* delegate, const QString& cancelButtonTitle,
                const QString& destructiveButtonTitle, const QStringList& otherButtonTitles,
                QObject* parent = nullptr);
    ~ActionSheet() override;

    QString title() const { return title_; }
    // A new title shows the next time the menu is shown.
    void setTitle(const QString& title) { title_ = title; }
    ActionSheetDelegate* delegate() const { return delegate_; }
    void setDelegate(ActionSheetDelegate* delegate) { delegate_ = delegate; }

    int numberOfButtons() const { return static_cast<int>(titles_.size()); }
    QString buttonTitleAtIndex(int index) const { return titles_.value(index); }
    int cancelButtonIndex() const { return cancelIndex_; }
    int destructiveButtonIndex() const { return destructiveIndex_; }

    // Shows the menu over `view` (a window: over its area below the status bar).
    void showInView(QWidget* view);
    // Takes the menu off the screen without telling the delegate.
    void dismissWithClickedButtonIndex(int index, bool animated);
    bool isVisible() const;

    // The button with `index` of the menu on screen, or nullptr.
    QAbstractButton* buttonAtIndex(int index) const;

private:
    friend class SheetOverlay;
    void clicked(SheetOverlay* overlay, int index);

    QString title_;
    ActionSheetDelegate* delegate_;
    QStringList titles_;
    int cancelIndex_ = -1;
    int destructiveIndex_ = -1;
    QPointer<SheetOverlay> overlay_;
};

} // namespace ui
