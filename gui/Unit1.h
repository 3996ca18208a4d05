// TForm1: the main window with the file list, the target and mode choices and the counter.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTranslator>
#include <QWidget>

#include "run/ConversionRun.h"

class QButtonGroup;
class QCloseEvent;
class QResizeEvent;
class TAboutBox;

namespace tervalo {
class AafDatabase;
class QckDatabase;
}  // namespace tervalo

// Set by the abort button, cleared by each run, polled by the run after every chart.
extern std::atomic<bool> AbortRequested;

// A captioned group of radio buttons, one item selected, addressed by item index.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);
    int ItemIndex() const;  // -1 when no item is selected
    void SetItemIndex(int index);
    int ItemCount() const { return static_cast<int>(Items.size()); }
    QRadioButton* Item(int index) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QButtonGroup* Buttons;
    std::vector<QRadioButton*> Items;
};

// The application object: named "Tervalo", with Qt's own texts (the file dialog, standard
// buttons, context menus) in Hungarian like the program's. An exception that reaches the event
// loop is shown in a warning box with its text, and the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Whether Qt's Hungarian texts were found in the resources and installed.
    bool QtTextsHungarian() const { return QtTextsInstalled; }

private:
    QTranslator QtTexts;
    bool QtTextsInstalled = false;
};

class TForm1;

// The counter and the event pump, as the run sees them. Both are paced: a repaint of the
// counter costs more than converting a chart, so the count is drawn and pending events run at
// most every kPumpInterval, which still lets the counter move and an abort click through.
class TForm1Progress final : public tervalo::ProgressSink {
public:
    static constexpr std::chrono::milliseconds kPumpInterval{40};

    explicit TForm1Progress(TForm1& form) : Form(form) {}
    void ShowCount(std::int32_t count) override;  // drawn at the next pump or Flush
    void ProcessEvents() override;
    void Flush();  // puts the last count into Numero now

private:
    TForm1& Form;
    std::int32_t Count = 0;
    bool CountPending = false;
    std::chrono::steady_clock::time_point LastPump{};  // long ago: the first call pumps
};

// The controls, the list selection and the message boxes, as the run sees them.
class TForm1Effects final : public tervalo::RunEffects {
public:
    // The closing message shows the run's last count: `progress` is flushed before it.
    explicit TForm1Effects(TForm1& form, TForm1Progress* progress = nullptr)
        : Form(form), Progress(progress) {}
    void SetControlEnabled(tervalo::RunControl control, bool enabled) override;
    void SelectEntry(int index) override;
    // The details wait for the next box, which shows them behind Qt's "show details" button.
    void SetMessageDetails(const std::string& details) override;
    void ShowMessage(tervalo::MessageKind kind, const std::string& text) override;

private:
    TForm1& Form;
    TForm1Progress* Progress;
    std::string Details;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, in tab order, then the labels and the non-visual parts.
    QPushButton* AddButton;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button1;
    QListWidget* Box;
    TRadioGroup* Group1;
    TRadioGroup* Group2;
    QPushButton* ConvertButton;
    QPushButton* Button6;
    QLabel* Numero;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QFileDialog* OpenDialog1;
    std::vector<std::string_view> SL1;

    // Shown by Button1Click; created after the window, by the program's start.
    TAboutBox* AboutBox = nullptr;

    // The run writes its outputs into this program's folder, or, when that takes no new file,
    // into "Tervalo" in the user's documents folder.
    QString ExecutablePath;
    // Asks for the files to add; runs OpenDialog1 unless a test puts its own choice here.
    std::function<QStringList()> ChooseFiles;

    // The list as the run gets it: UTF-8 paths in their displayed order.
    const std::vector<std::string>& Rows() const { return ListRows; }
    // Adds paths at their sorted places, each row once.
    void AddFiles(const QStringList& paths);
    QWidget* ControlOf(tervalo::RunControl control) const;
    bool RunActive() const { return Running; }
    bool DatabasesAlive() const { return OutputAaf != nullptr; }
    // What the last run reported; empty before the first.
    const tervalo::RunReport& LastReport() const { return Report; }

    void AddButtonClick();
    void Button3Click();
    void Button4Click();
    void BoxKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void Button1Click();
    void ConvertButtonClick();
    void Button6Click();
    void FormClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Files dragged from a file manager onto the window join the list, as if chosen.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The constructor's steps, taken in this order: the controls are created, and so listed
    // among the window's children, in the order of the classic form.
    void SetUpWindow();
    void CreateListButtons();
    void CreateList();
    void CreateGroups();
    void CreateRunControls();
    void CreateNotes();
    void ChainTabOrder();
    void CreateOpenDialog();
    void ConnectButtons();
    void CreateDatabases();

    void ShowRows();
    int SelectedRow() const;
    QStringList RunOpenDialog();

    std::vector<std::string> ListRows;
    std::unique_ptr<tervalo::AafDatabase> OutputAaf;
    std::unique_ptr<tervalo::QckDatabase> OutputQck;
    std::unique_ptr<tervalo::AafDatabase> InputAaf;
    std::unique_ptr<tervalo::QckDatabase> InputQck;
    bool Running = false;
    bool CloseAfterRun = false;
    tervalo::RunReport Report;
};
