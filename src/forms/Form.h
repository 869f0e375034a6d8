#pragma once

#include <QWidget>

class App;
class Forms;

// A window of the program: loaded once, shown modeless, unloaded by its close
// box or by code. Its handlers are named after the control and the event.
class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(App& app, Qt::WindowFlags flags = Qt::Window);

    // Runs once, when the window is loaded.
    virtual void Form_Load() {}
    // Runs when the window is unloaded, before it goes away.
    virtual void Form_Unload() {}

    App& app() const { return app_; }
    // The registry that loaded the window; none for a window made by hand.
    Forms* forms() const { return forms_; }

    // The area that controls are placed in.
    virtual QWidget* client() { return this; }

    // Verdana at the given size, the windows' design font.
    static QFont designFont(double points = 8.25, bool bold = false);
    // A fixed single border with a title and a close box, no minimise or maximise box.
    void setFixedBorder(Qt::WindowType kind = Qt::Window);

    // Sizes in twips. The outer size adds a fixed allowance for border and
    // title bar, so layouts come out the same under any window manager.
    static constexpr int kNonClientWidthTwips = 90;
    static constexpr int kNonClientHeightTwips = 465;
    void setClientSizeTwips(int width, int height);
    int clientWidthTwips() const { return clientWidthTwips_; }
    int clientHeightTwips() const { return clientHeightTwips_; }
    virtual int outerWidthTwips() const { return clientWidthTwips_ + kNonClientWidthTwips; }
    virtual int outerHeightTwips() const { return clientHeightTwips_ + kNonClientHeightTwips; }
    void setOuterHeightTwips(int height);

    // What screen readers are told the window is. A dialog's text is read out
    // when it opens; a window's only by name.
    enum class ScreenReaderRole { Window, Dialog };
    ScreenReaderRole screenReaderRole() const { return screenReaderRole_; }
    void setScreenReaderRole(ScreenReaderRole role) { screenReaderRole_ = role; }

signals:
    // The window has been unloaded: its unload handler has run and it is hidden.
    void unloaded();
    // The close box was used: the registry unloads the window.
    void unloadRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    virtual void applyClientSize(int widthPx, int heightPx);

private:
    friend class Forms;
    App& app_;
    Forms* forms_ = nullptr;
    int clientWidthTwips_ = 0;
    int clientHeightTwips_ = 0;
    bool centred_ = false;
    ScreenReaderRole screenReaderRole_ = ScreenReaderRole::Window;
};
