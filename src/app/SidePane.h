#pragma once

#include <QList>
#include <QSplitter>
#include <QWidget>

class QAction;
class QStackedWidget;
class QTabBar;
class QToolBar;
class QToolButton;
class TCustomView;
class TTreeCombo;

// One side of the main window: a row of buttons with the folder drop-down, the tab set,
// the views of the tabs (one shown at a time) and a tool strip beside them. The main
// window fills the buttons and decides what the tabs do; this only keeps views and tabs
// in step.
class TSidePane : public QWidget {
    Q_OBJECT
public:
    explicit TSidePane(const QString& name, QWidget* parent = nullptr);

    void AddButton(QAction* action);
    void AddStripAction(QAction* action);
    // A button opening a menu (view styles).
    QToolButton* AddMenuButton(QAction* action);

    // The commands whose keys act on the list that has the focus (F2, Delete, Ctrl+C...):
    // every view of this side, now and later, takes them.
    void SetViewActions(const QList<QAction*>& actions);
    int AddView(TCustomView* view, const QString& caption);
    // Takes the view out without freeing it.
    void TakeView(int index);
    TCustomView* View(int index) const { return Views_.value(index); }
    int IndexOf(const TCustomView* view) const;
    int Count() const { return static_cast<int>(Views_.size()); }
    int CurrentIndex() const;
    TCustomView* CurrentView() const { return View(CurrentIndex()); }
    void SetCurrentIndex(int index);
    // The caption is shown with "&" kept as typed; the raw text is kept beside it.
    void SetCaption(int index, const QString& caption);
    QString Caption(int index) const;

    // A panel that takes the current view's place while shown (the host's busy panel).
    void SetCover(QWidget* cover);
    void ShowCover(bool shown);
    bool CoverShown() const;

    TTreeCombo* Tree() const { return Tree_; }
    QTabBar* Tabs() const { return Tabs_; }
    QToolBar* Strip() const { return Strip_; }

Q_SIGNALS:
    void CurrentChanged(int index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QToolBar* Buttons_;
    TTreeCombo* Tree_;
    QTabBar* Tabs_;
    QStackedWidget* Stack_;
    QToolBar* Strip_;
    QWidget* Cover_ = nullptr;
    QList<TCustomView*> Views_;
    QList<QAction*> ViewActions_;
    QStringList Captions_;
};

// The panes side by side with the "Upload" and "Download" strip as the handle between
// them: dragging the strip moves the border.
class TMiddleSplitter : public QSplitter {
    Q_OBJECT
public:
    TMiddleSplitter(QAction* upload, QAction* download, QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;

private:
    QAction* Upload_;
    QAction* Download_;
};
