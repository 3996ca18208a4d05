// Tests of the main window: its controls, the file list handlers and runs driven through it,
// and the application object: Qt's texts, exceptions in the event loop, the title bars.
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include "GuiSupport.h"
#include "TestSupport.h"
#include "core/CodePage.h"
#include "core/Platform.h"
#include "gui/Unit1.h"
#include "gui/Unit3.h"
#include "run/FileList.h"

namespace tervalo::test {
namespace {

std::vector<std::string> BoxTexts(const TForm1& form) {
    std::vector<std::string> texts;
    for (int i = 0; i < form.Box->count(); ++i)
        texts.push_back(form.Box->item(i)->text().toStdString());
    return texts;
}

// Paths as the list shows them: the system's separators, lower-cased where case is ignored.
std::vector<std::string> AsRows(std::vector<std::string> paths) {
    for (std::string& path : paths) {
        path = QDir::toNativeSeparators(QString::fromStdString(path)).toStdString();
        if (tervalo::NativePathCase() == tervalo::PathCase::Lower)
            path = tervalo::LowerWindows1250Letters(path);
    }
    return paths;
}

QStringList Paths(const std::vector<std::string>& paths) {
    QStringList list;
    for (const std::string& path : paths)
        list << QString::fromStdString(path);
    return list;
}

// A window whose outputs go into a fresh folder.
struct RunFixture {
    TempDir Folder;
    TForm1 Form;
    RunFixture() {
        std::filesystem::create_directory(Folder.Path() / "bin");
        Form.ExecutablePath = QString::fromStdString(Folder.File("bin/tervalo"));
        Form.show();
    }
    std::string Input(const std::string& name, const std::string& bytes) {
        const std::string path = Folder.File(name);
        WriteFile(path, bytes);
        Form.AddFiles({QString::fromStdString(path)});
        return path;
    }
    std::vector<std::string> Outputs() const { return NamesIn(Folder.Path() / "bin"); }
};

TEST(Unit1Test, ControlsCarryTheirNamesTextsHintsAndPlaces) {
    TForm1 form;
    struct Case {
        const char* Name;
        QString Text;
        QString Hint;
        QRect Place;
    };
    const Case cases[] = {
        {"AddButton",
         u"Fájlok hozzáadása..."_qs,
         u"Átalakítandó fájlok kiválasztása"_qs,
         {14, 4, 139, 25}},
        {"Button3",
         u"Fájl törlése a listáról"_qs,
         u"A kiválasztott fájl leszedése a listáról"_qs,
         {174, 4, 141, 25}},
        {"Button4", u"Lista törlése"_qs, {}, {340, 4, 97, 25}},
        {"Button1", u"Névjegy..."_qs, {}, {557, 4, 81, 25}},
        {"Box", {}, {}, {5, 33, 691, 255}},
        {"Group1", u"Cél adatbázis"_qs, {}, {7, 290, 208, 128}},
        {"Group2", {}, {}, {236, 291, 161, 58}},
        {"ConvertButton",
         u">> Átalakít >>"_qs,
         u"Az átalakított fájlok a program könyvtárába kerülnek"_qs,
         {541, 299, 121, 33}},
        {"Button6", u"Megszakít"_qs, {}, {561, 353, 82, 24}},
        {"Numero", u"0"_qs, {}, {424, 308, 87, 15}},
        {"Label1", u"A Placidus fájlok egy adatbázisba kerülnek!"_qs, {}, {235, 360, 242, 15}},
        {"Label2", u"*   Ellenőrizze kézzel a nyári időszámítást!"_qs, {}, {235, 380, 234, 15}},
        {"Label3", u"** Ellenőrizze kézzel a helyet!"_qs, {}, {235, 400, 166, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto* widget = form.findChild<QWidget*>(QLatin1String(c.Name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.Place);
        EXPECT_EQ(widget->toolTip(), c.Hint);
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
        if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
        EXPECT_EQ(text, c.Text);
    }
    EXPECT_EQ(form.windowTitle(), u"Tervalo 1.5"_qs);
    EXPECT_EQ(form.size(), QSize(700, 422));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_EQ(form.font().pixelSize(), 12);
    EXPECT_TRUE(form.ConvertButton->font().bold());
    EXPECT_EQ(form.ConvertButton->font().pixelSize(), 13);
    EXPECT_TRUE(form.Button6->font().italic());
    EXPECT_TRUE(form.Numero->font().bold());
    EXPECT_TRUE(form.Label2->font().italic());
    EXPECT_EQ(form.Label3->palette().color(QPalette::WindowText), QColor(153, 41, 38));

    const QStringList targets = {
        u"AAF (MegaStar, AstroSys)"_qs, u"QCK (Solar Fire, Janus, Kepler)"_qs,
        u"NUM (Numerology)"_qs,         u"CSV (Excel)"_qs,
        u"HOR (Morinus, Valens)*"_qs,   u"SZK (Regiomontanus)**"_qs};
    const QStringList modes = {u"Külön-külön átalakítás"_qs, u"Az összeset egybe"_qs};
    ASSERT_EQ(form.Group1->ItemCount(), targets.size());
    for (int i = 0; i < targets.size(); ++i)
        EXPECT_EQ(form.Group1->Item(i)->text(), targets[i]);
    ASSERT_EQ(form.Group2->ItemCount(), modes.size());
    for (int i = 0; i < modes.size(); ++i)
        EXPECT_EQ(form.Group2->Item(i)->text(), modes[i]);
    EXPECT_EQ(form.Group1->ItemIndex(), 0);
    EXPECT_EQ(form.Group2->ItemIndex(), 0);
    EXPECT_EQ(form.SL1.size(), 281u);
    EXPECT_EQ(form.SL1.front(), "Afghanistan=AFG");
}

TEST(Unit1Test, TabOrderFollowsTheControlsLeftToRight) {
    TForm1 form;
    const std::vector<QWidget*> order = {form.AddButton, form.Button3,       form.Button4,
                                         form.Button1,   form.Box,           form.Group1,
                                         form.Group2,    form.ConvertButton, form.Button6};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        // Radio groups hand the focus to their items; step over them.
        QWidget* next = order[i]->nextInFocusChain();
        while (next != nullptr && next != order[i + 1] &&
               order[i + 1]->isAncestorOf(next) == false &&
               (order[i]->isAncestorOf(next) || qobject_cast<QRadioButton*>(next) != nullptr))
            next = next->nextInFocusChain();
        EXPECT_TRUE(next == order[i + 1] || order[i + 1]->isAncestorOf(next))
            << order[i]->objectName().toStdString() << " then "
            << (next ? next->objectName().toStdString() : "none");
    }
}

TEST(Unit1Test, OpenDialogIsConfiguredForSeveralExistingChartFiles) {
    TForm1 form;
    QFileDialog* dialog = form.OpenDialog1;
    EXPECT_EQ(dialog->windowTitle(), u"Fájl hozzáadása"_qs);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog->defaultSuffix(), u"AAF"_qs);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    const QStringList shown = {u"Asztro adat tipusok (aaf, qck, hor, szk, csv, sfcht, xml)"_qs,
                               u"AAF fájlok (AAF)"_qs,
                               u"QCK fájlok (Solar Fire, QCK)"_qs,
                               u"Placidus és Morinus fájlok (HOR)"_qs,
                               u"Regiomontanus fájlok (SZK)"_qs,
                               u"CSV fájlok (CSV)"_qs,
                               u"Solar Fire fájlok (SFcht)"_qs,
                               u"Astro-Databank fájlok (XML)"_qs,
                               u"Minden fájl (*.*)"_qs};
    const QStringList filters = dialog->nameFilters();
    ASSERT_EQ(filters.size(), shown.size());
    for (int i = 0; i < shown.size(); ++i)
        EXPECT_TRUE(filters[i].startsWith(shown[i] + u" ("_qs));
    for (const QString& pattern :
         {u"*.aaf"_qs, u"*.QCK"_qs, u"*.szk"_qs, u"*.csv"_qs, u"*.SFcht"_qs, u"*.xml"_qs})
        EXPECT_TRUE(filters[0].contains(pattern)) << pattern.toStdString();
}

TEST(Unit1Test, AddButtonAddsWhatTheDialogChoseAndNothingWhenCancelled) {
    TempDir folder;
    WriteFile(folder.File("b.aaf"), AafCharts("Kovacs", 1));
    WriteFile(folder.File("A.QCK"), "x");
    TForm1 form;
    form.OpenDialog1->setDirectory(QString::fromStdString(folder.Path().string()));

    AnswerNextDialog([](QDialog* dialog) { dialog->reject(); });
    form.AddButtonClick();
    EXPECT_TRUE(form.Rows().empty());

    QString filterAtOpen;
    AnswerNextDialog([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        filterAtOpen = files->selectedNameFilter();
        auto* name = files->findChild<QLineEdit*>(u"fileNameEdit"_qs);
        ASSERT_NE(name, nullptr);
        name->setText(u"\"b.aaf\" \"A.QCK\""_qs);
        static_cast<QDialog*>(files)->accept();  // QFileDialog::accept is protected
    });
    form.AddButtonClick();
    EXPECT_TRUE(filterAtOpen.startsWith(u"Asztro adat tipusok"_qs));
    EXPECT_EQ(form.Rows(), AsRows({folder.File("A.QCK"), folder.File("b.aaf")}));
}

TEST(Unit1Test, AddingKeepsEachPathOnceInOrderWithoutRegardToCase) {
    struct Case {
        const char* Name;
        std::vector<std::vector<std::string>> Additions;  // one per use of the dialog
        std::vector<std::string> Expected;
    };
    const bool preserve = tervalo::NativePathCase() == tervalo::PathCase::Preserve;
    const Case cases[] = {
        {"the same file twice", {{"/d/x.aaf"}, {"/d/x.aaf"}}, {"/d/x.aaf"}},
        {"sorted without regard to case",
         {{"/d/c.aaf", "/d/B.qck"}, {"/d/a.hor"}},
         {"/d/a.hor", "/d/B.qck", "/d/c.aaf"}},
        {"case variants",
         {{"/d/X.AAF"}, {"/d/x.aaf", "/d/X.AAF"}},
         preserve ? std::vector<std::string>{"/d/X.AAF", "/d/x.aaf"}
                  : std::vector<std::string>{"/d/x.aaf"}},
        {"accented names",
         {{"/d/Ödön.aaf"}, {"/d/ödön.aaf"}},
         preserve ? std::vector<std::string>{"/d/Ödön.aaf", "/d/ödön.aaf"}
                  : std::vector<std::string>{"/d/ödön.aaf"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TForm1 form;
        for (const auto& addition : c.Additions) {
            form.ChooseFiles = [&] { return Paths(addition); };
            form.AddButtonClick();
        }
        EXPECT_EQ(form.Rows(), AsRows(c.Expected));
        EXPECT_EQ(BoxTexts(form), AsRows(c.Expected));
    }
}

TEST(Unit1Test, DeletingSelectsTheRowThatMovedUpOrTheNewLastRow) {
    enum class How { Button, DeleteKey, ShiftDelete, OtherKey };
    struct Case {
        const char* Name;
        int Rows;
        int Selected;  // -1: none
        How Trigger;
        std::vector<std::string> Remaining;
        int SelectedAfter;
    };
    const Case cases[] = {
        {"middle row by button", 3, 1, How::Button, {"/a", "/c"}, 1},
        {"last row by Delete", 3, 2, How::DeleteKey, {"/a", "/b"}, 1},
        {"only row", 1, 0, How::DeleteKey, {}, -1},
        {"Shift+Delete deletes too", 2, 0, How::ShiftDelete, {"/b"}, 0},
        {"nothing selected", 2, -1, How::DeleteKey, {"/a", "/b"}, -1},
        {"nothing selected, button", 2, -1, How::Button, {"/a", "/b"}, -1},
        {"another key", 2, 0, How::OtherKey, {"/a", "/b"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TForm1 form;
        const std::vector<std::string> all = {"/a", "/b", "/c"};
        form.AddFiles(Paths({all.begin(), all.begin() + c.Rows}));
        if (c.Selected >= 0) form.Box->setCurrentRow(c.Selected);
        switch (c.Trigger) {
            case How::Button:
                form.Button3->click();
                break;
            case How::DeleteKey:
            case How::ShiftDelete:
            case How::OtherKey: {
                QKeyEvent key(QEvent::KeyPress,
                              c.Trigger == How::OtherKey ? Qt::Key_Backspace : Qt::Key_Delete,
                              c.Trigger == How::ShiftDelete ? Qt::ShiftModifier : Qt::NoModifier);
                QApplication::sendEvent(form.Box, &key);
                break;
            }
        }
        EXPECT_EQ(form.Rows(), AsRows(c.Remaining));
        EXPECT_EQ(BoxTexts(form), AsRows(c.Remaining));
        const auto selected = form.Box->selectedItems();
        EXPECT_EQ(selected.isEmpty() ? -1 : form.Box->row(selected.front()), c.SelectedAfter);
    }
}

TEST(Unit1Test, ClearingTheListAsksFirst) {
    struct Case {
        QString Answer;  // empty: the box is closed without a button
        bool Emptied;
    };
    const Case cases[] = {{u"&Nem"_qs, false}, {{}, false}, {u"&Igen"_qs, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Answer.toStdString());
        TForm1 form;
        form.AddFiles({u"/a.aaf"_qs, u"/b.aaf"_qs});
        SeenBox seen;
        AnswerNextBox(c.Answer, &seen);
        form.Button4->click();
        ASSERT_TRUE(seen.Seen);
        EXPECT_EQ(seen.Caption, u"Figyelmeztetés"_qs);
        EXPECT_EQ(seen.Text, u"Törli a listát?"_qs);
        EXPECT_EQ(seen.Icon, QMessageBox::Warning);
        EXPECT_EQ(seen.Buttons, (QStringList{u"&Igen"_qs, u"&Nem"_qs}));
        EXPECT_EQ(form.Rows().size(), c.Emptied ? 0u : 2u);
        EXPECT_EQ(form.Box->count(), c.Emptied ? 0 : 2);
    }
}

TEST(Unit1Test, RunEffectsReachTheirControlsAndBoxes) {
    TForm1 form;
    TForm1Effects effects(form);
    const std::pair<tervalo::RunControl, const char*> controls[] = {
        {tervalo::RunControl::Button1, "Button1"},
        {tervalo::RunControl::AddButton, "AddButton"},
        {tervalo::RunControl::Button3, "Button3"},
        {tervalo::RunControl::Button4, "Button4"},
        {tervalo::RunControl::ConvertButton, "ConvertButton"},
        {tervalo::RunControl::Group1, "Group1"},
        {tervalo::RunControl::Group2, "Group2"},
        {tervalo::RunControl::Box, "Box"},
    };
    for (const auto& [control, name] : controls) {
        SCOPED_TRACE(name);
        effects.SetControlEnabled(control, false);
        for (const auto& [other, otherName] : controls)
            EXPECT_EQ(form.findChild<QWidget*>(QLatin1String(otherName))->isEnabled(),
                      other != control);
        EXPECT_TRUE(form.Button6->isEnabled());
        effects.SetControlEnabled(control, true);
    }

    form.AddFiles({u"/a.aaf"_qs, u"/b.aaf"_qs});
    effects.SelectEntry(1);
    EXPECT_EQ(form.Box->selectedItems().value(0), form.Box->item(1));
    effects.SelectEntry(-1);
    EXPECT_TRUE(form.Box->selectedItems().isEmpty());

    const struct {
        tervalo::MessageKind Kind;
        QString Caption;
        QMessageBox::Icon Icon;
    } kinds[] = {{tervalo::MessageKind::Information, u"Információ"_qs, QMessageBox::Information},
                 {tervalo::MessageKind::Warning, u"Figyelmeztetés"_qs, QMessageBox::Warning}};
    for (const auto& kind : kinds) {
        SeenBox seen;
        AnswerNextBox(u"OK"_qs, &seen);
        effects.ShowMessage(kind.Kind, "Az átalakítás részben sikerült!\nKihagyott fájl: /x.qck");
        EXPECT_EQ(seen.Caption, kind.Caption);
        EXPECT_EQ(seen.Icon, kind.Icon);
        EXPECT_EQ(seen.Text, u"Az átalakítás részben sikerült!\nKihagyott fájl: /x.qck"_qs);
        EXPECT_EQ(seen.Buttons, QStringList{u"OK"_qs});
    }

    // The count is drawn when events are let through, at most every pump interval, and
    // always when flushed; the latest count wins.
    TForm1Progress progress(form);
    progress.ShowCount(1234567);
    progress.ProcessEvents();
    EXPECT_EQ(form.Numero->text(), u"1234567"_qs);
    bool pumped = false;
    QTimer::singleShot(0, &form, [&] { pumped = true; });
    progress.ShowCount(7);
    progress.ShowCount(8);
    progress.ProcessEvents();  // within the interval: neither drawn nor pumped
    EXPECT_EQ(form.Numero->text(), u"1234567"_qs);
    EXPECT_FALSE(pumped);
    progress.Flush();
    EXPECT_EQ(form.Numero->text(), u"8"_qs);
    std::this_thread::sleep_for(TForm1Progress::kPumpInterval);
    progress.ProcessEvents();
    EXPECT_TRUE(pumped);
}

// The run's findings wait behind Qt's "show details" button of the closing box, which keeps its
// kind, caption and single "OK"; the next box starts without them.
TEST(Unit1Test, ClosingBoxCarriesTheDetailsGivenForIt) {
    TForm1 form;
    TForm1Effects effects(form);
    const QString detailsButton = u"Részletek megjelenítése…"_qs;
    struct Case {
        const char* Name;
        bool Set;
        std::string Details;
        QString Shown;
    };
    const Case cases[] = {
        {"set", true,
         "/a.aaf\t1\t1\tHorváth Mária Terézia\tjavítva\tnap: 32 → 31\n/a.aaf\t2\t4\tNagy\tgyanús",
         u"/a.aaf\t1\t1\tHorváth Mária Terézia\tjavítva\tnap: 32 → 31\n/a.aaf\t2\t4\tNagy\tgyanús"_qs},
        {"the box after it", false, "", {}},
        {"set empty", true, "", {}},
    };
    // Where a line's fifth cell begins, once the details are open: the cells stand as columns
    // whatever the width of the names before them.
    const auto kindColumns = [](std::vector<int>& lefts) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        auto* details = box->findChild<QTextEdit*>();
        if (details == nullptr) return;
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole) button->click();
        }
        Settle();
        for (const QString& kind : {u"javítva"_qs, u"gyanús"_qs}) {
            QTextCursor at(details->document());
            at.setPosition(details->document()->find(kind).selectionStart());
            lefts.push_back(details->cursorRect(at).left());
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SeenBox seen;
        std::vector<int> lefts;
        AnswerNextBox(u"OK"_qs, &seen, [&] { kindColumns(lefts); });
        if (c.Set) effects.SetMessageDetails(c.Details);
        effects.ShowMessage(tervalo::MessageKind::Warning, "Az átalakítás részben sikerült!");
        ASSERT_TRUE(seen.Seen);
        EXPECT_EQ(seen.Caption, u"Figyelmeztetés"_qs);
        EXPECT_EQ(seen.Icon, QMessageBox::Warning);
        EXPECT_EQ(seen.Text, u"Az átalakítás részben sikerült!"_qs);
        EXPECT_EQ(seen.Details, c.Shown);
        const QStringList buttons =
            c.Shown.isEmpty() ? QStringList{u"OK"_qs} : QStringList{u"OK"_qs, detailsButton};
        EXPECT_EQ(seen.Buttons, buttons);
        ASSERT_EQ(lefts.size(), c.Shown.isEmpty() ? 0u : 2u);
        if (!lefts.empty()) {
            EXPECT_EQ(lefts[0], lefts[1]);
        }
    }
}

TEST(Unit1Test, RunDisablesExactlyTheEightControlsAndBringsThemBack) {
    RunFixture fixture;
    TForm1& form = fixture.Form;
    fixture.Input("family.aaf", AafCharts("Kovacs", 25));
    std::vector<bool> enabledDuringMessage;
    int selectedDuringMessage = -2;
    QString counterDuringMessage;
    SeenBox seen;
    AnswerNextBox(u"OK"_qs, &seen, [&] {
        const std::vector<QWidget*> widgets = {form.Button1, form.AddButton,     form.Button3,
                                               form.Button4, form.ConvertButton, form.Group1,
                                               form.Group2,  form.Box,           form.Button6};
        for (QWidget* widget : widgets)
            enabledDuringMessage.push_back(widget->isEnabled());
        selectedDuringMessage = form.Box->currentRow();
        counterDuringMessage = form.Numero->text();
    });
    form.ConvertButton->click();

    EXPECT_EQ(seen.Text, u"Az átalakítás sikerült!"_qs);
    EXPECT_EQ(seen.Caption, u"Információ"_qs);
    EXPECT_EQ(enabledDuringMessage,
              (std::vector<bool>{false, false, false, false, false, false, false, false, true}));
    EXPECT_EQ(selectedDuringMessage, 0);
    EXPECT_EQ(counterDuringMessage, u"25"_qs);
    for (tervalo::RunControl control : tervalo::kRunControls)
        EXPECT_TRUE(form.ControlOf(control)->isEnabled());
    EXPECT_TRUE(form.Box->selectedItems().isEmpty());
    EXPECT_EQ(form.Numero->text(), u"25"_qs);
    EXPECT_EQ(fixture.Outputs(), std::vector<std::string>{"family.aaf"});
    const std::string written = ReadFile(fixture.Folder.Path() / "bin" / "family.aaf");
    std::size_t charts = 0;
    for (std::size_t at = written.find("#A93:"); at != std::string::npos;
         at = written.find("#A93:", at + 1))
        ++charts;
    EXPECT_EQ(charts, 25u);
    EXPECT_EQ(written.rfind(AafCharts("Kovacs", 1).substr(0, 20), 0), 0u);
}

TEST(Unit1Test, EmptyListConvertsNothingAndShowsNothing) {
    RunFixture fixture;
    fixture.Form.ConvertButton->click();  // a box would wait forever here
    EXPECT_TRUE(fixture.Outputs().empty());
    EXPECT_EQ(fixture.Form.LastReport().Ending, tervalo::RunEnding::NotStarted);
}

TEST(Unit1Test, AbortClickedDuringARunStopsItAndAnEarlierClickDoesNot) {
    RunFixture fixture;
    TForm1& form = fixture.Form;
    fixture.Input("big.aaf", AafCharts("Kovacs", 2000));

    // Pressed outside a run: the next run is not affected.
    form.Button6->click();
    SeenBox completed;
    AnswerNextBox(u"OK"_qs, &completed);
    form.ConvertButton->click();
    EXPECT_EQ(completed.Text, u"Az átalakítás sikerült!"_qs);
    EXPECT_EQ(form.Numero->text(), u"2000"_qs);
    std::filesystem::remove(fixture.Folder.Path() / "bin" / "big.aaf");

    // Pressed at the first pass of the event pump: the run stops after that chart.
    QTimer::singleShot(0, form.Button6, &QPushButton::click);
    SeenBox aborted;
    AnswerNextBox(u"OK"_qs, &aborted);
    form.ConvertButton->click();
    EXPECT_EQ(aborted.Text, u"Átalakítás megszakítva!"_qs);
    EXPECT_EQ(aborted.Caption, u"Figyelmeztetés"_qs);
    EXPECT_EQ(form.LastReport().Ending, tervalo::RunEnding::Aborted);
    EXPECT_EQ(form.Numero->text(), u"0"_qs);
    EXPECT_TRUE(fixture.Outputs().empty());
    EXPECT_TRUE(form.ConvertButton->isEnabled());
}

TEST(Unit1Test, CloseDuringARunAbortsItAndClosesAfterTheMessage) {
    RunFixture fixture;
    TForm1& form = fixture.Form;
    fixture.Input("big.aaf", AafCharts("Kovacs", 2000));
    QTimer::singleShot(0, &form, &QWidget::close);
    bool aliveDuringMessage = false;
    bool visibleDuringMessage = false;
    SeenBox seen;
    AnswerNextBox(u"OK"_qs, &seen, [&] {
        aliveDuringMessage = form.DatabasesAlive();
        visibleDuringMessage = form.isVisible();
    });
    form.ConvertButton->click();
    EXPECT_EQ(seen.Text, u"Átalakítás megszakítva!"_qs);
    EXPECT_TRUE(aliveDuringMessage);
    EXPECT_TRUE(visibleDuringMessage);
    Settle();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.DatabasesAlive());
    EXPECT_TRUE(fixture.Outputs().empty());
}

TEST(Unit1Test, AboutButtonShowsTheAboutBoxModally) {
    TForm1 form;
    TAboutBox about(&form);
    form.AboutBox = &about;
    bool shownModally = false;
    AnswerNextDialog([&](QDialog* dialog) {
        shownModally = dialog == &about;
        about.OKButton->click();
    });
    form.Button1->click();
    EXPECT_TRUE(shownModally);
    EXPECT_EQ(about.result(), 1);
    EXPECT_FALSE(about.isVisible());
}

// Dragging files from a file manager: local files join the list; folders and remote
// addresses do not.
TEST(Unit1Test, DroppedFilesJoinTheListOutsideARun) {
    TempDir dir;
    WriteFile(dir.Path() / "b.aaf", "x");
    WriteFile(dir.Path() / "A.qck", "x");
    std::filesystem::create_directory(dir.Path() / "folder.aaf");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("b.aaf"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.File("A.qck"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.File("folder.aaf"))),
                  QUrl(QStringLiteral("https://example.org/c.aaf"))});
    TForm1 form;
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_EQ(form.Rows(), AsRows({dir.File("A.qck"), dir.File("b.aaf")}));
    EXPECT_EQ(form.Box->count(), 2);

    QMimeData nothingUseful;
    nothingUseful.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("folder.aaf")))});
    QDragEnterEvent refused(QPoint(100, 100), Qt::CopyAction, &nothingUseful, Qt::LeftButton,
                            Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(&form, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

// The dialog's paths and the program's own reach the run with every letter, and the outputs go
// into the program's folder.
TEST(Unit1Test, NamesWithEveryLetterConvertIntoTheProgramsFolder) {
    TempDir dir;
    const std::filesystem::path program = PathFromUtf8(dir.File("Horoszkópok"));
    std::filesystem::create_directory(program);
    const std::string input = dir.File("Kovács Ödön.aaf");
    WriteFile(PathFromUtf8(input), AafCharts("Kovacs", 3));
    TForm1 form;
    form.ExecutablePath = QString::fromStdString(Utf8FromPath(program / "tervalo.exe"));
    form.ChooseFiles = [&] { return QStringList{QString::fromStdString(input)}; };
    form.AddButtonClick();
    ASSERT_EQ(form.Rows(), AsRows({input}));
    form.show();
    SeenBox seen;
    AnswerNextBox(u"OK"_qs, &seen);
    form.ConvertButtonClick();
    EXPECT_EQ(seen.Text, u"Az átalakítás sikerült!"_qs);
    const std::string stem =
        LowerWindows1250Letters(Utf8FromPath(PathFromUtf8(form.Rows()[0]).stem()));
    EXPECT_EQ(ReadFile(program / PathFromUtf8(stem + ".aaf")).size(),
              AafCharts("Kovacs", 3).size() - 2);
}

// An installed window, whose folder takes no new file, writes into Tervalo in the documents
// folder and its closing message says so.
TEST(Unit1Test, AProgramFolderTakingNoFileSendsTheOutputsToTheDocuments) {
#ifdef _WIN32
    GTEST_SKIP() << "the Documents folder is the user's own there; a test cannot point it away";
#else
    RunFixture fixture;
    fixture.Form.ExecutablePath = QString::fromStdString(fixture.Folder.File("missing/tervalo"));
    fixture.Input("family.aaf", AafCharts("Kovacs", 2));
    const QByteArray home = qgetenv("HOME");
    const bool configSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString(fixture.Folder.File("home")));
    qunsetenv("XDG_CONFIG_HOME");
    SeenBox seen;
    AnswerNextBox(u"OK"_qs, &seen);
    fixture.Form.ConvertButton->click();
    qputenv("HOME", home);
    if (configSet) qputenv("XDG_CONFIG_HOME", config);

    const std::string documents = fixture.Folder.File("home/Documents/Tervalo");
    EXPECT_EQ(seen.Text.toStdString(),
              "Az átalakítás sikerült!\nA kimeneti fájlok helye: " + documents);
    EXPECT_EQ(NamesIn(documents), std::vector<std::string>{"family.aaf"});
    EXPECT_TRUE(fixture.Outputs().empty());
#endif
}

// Qt's own texts come in Hungarian; the program's own texts stay as they are.
TEST(Unit1Test, QtOwnTextsAreHungarian) {
    auto* application = qobject_cast<TApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    EXPECT_TRUE(application->QtTextsHungarian());
    EXPECT_EQ(QCoreApplication::applicationName(), u"Tervalo"_qs);

    TForm1 form;
    struct Seen {
        QString Title, Filter;
        std::map<QString, QString> Labels;  // by object name
        QStringList Buttons;
    } seen;
    AnswerNextDialog([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        seen.Title = files->windowTitle();
        seen.Filter = files->selectedNameFilter();
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
            if (auto* label = files->findChild<QLabel*>(QLatin1String(name)))
                seen.Labels[QLatin1String(name)] = label->text();
        for (const char* name : {"backButton", "toParentButton", "newFolderButton"})
            if (auto* button = files->findChild<QToolButton*>(QLatin1String(name)))
                seen.Labels[QLatin1String(name)] = button->toolTip();
        if (auto* box = files->findChild<QDialogButtonBox*>(u"buttonBox"_qs))
            for (QAbstractButton* button : box->buttons())
                seen.Buttons << button->text();
        dialog->reject();
    });
    form.AddButton->click();

    EXPECT_EQ(seen.Title, u"Fájl hozzáadása"_qs);
    EXPECT_TRUE(
        seen.Filter.startsWith(u"Asztro adat tipusok (aaf, qck, hor, szk, csv, sfcht, xml)"_qs));
    const std::map<QString, QString> labels = {
        {u"lookInLabel"_qs, u"Keresés itt:"_qs},              // "Look in:"
        {u"fileNameLabel"_qs, u"Fájl &neve:"_qs},             // "File &name:"
        {u"fileTypeLabel"_qs, u"Fájlok típusa:"_qs},          // "Files of type:"
        {u"backButton"_qs, u"Vissza"_qs},                     // "Back"
        {u"toParentButton"_qs, u"Szülőkönyvtár"_qs},          // "Parent Directory"
        {u"newFolderButton"_qs, u"Új mappa létrehozása"_qs},  // "Create New Folder"
    };
    EXPECT_EQ(seen.Labels, labels);
    seen.Buttons.sort();
    EXPECT_EQ(seen.Buttons, (QStringList{u"&Megnyitás"_qs, u"Mégse"_qs}));  // "&Open", "Cancel"

    // The standard context menu of an edit field, as the file dialog's name field has it.
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList actions;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) actions << action->text().section(u'\t', 0, 0);
    EXPECT_EQ(actions, (QStringList{u"&Visszavonás"_qs, u"Új&ra"_qs, u"&Kivágás"_qs, u"&Másolás"_qs,
                                    u"&Beillesztés"_qs, u"Törlés"_qs, u"Összes kijelölése"_qs}));
}

// Lets events run until `done` or ten seconds have passed.
void RunEventsUntil(const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    while (!done() && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// An exception that reaches the event loop is shown in a warning box, and the program goes on.
TEST(Unit1Test, ExceptionReachingTheEventLoopIsShownAndTheProgramGoesOn) {
    struct Case {
        const char* Name;
        std::function<void()> Throw;
        QString Text;
    };
    const Case cases[] = {
        {"a standard exception", [] { throw std::runtime_error("A lemez megtelt."); },
         u"A lemez megtelt."_qs},
        {"a derived one",
         [] { throw std::filesystem::filesystem_error("nincs", std::error_code{}); },
         QString::fromLocal8Bit(
             std::filesystem::filesystem_error("nincs", std::error_code{}).what())},
        {"memory", [] { throw std::bad_alloc(); }, u"Nincs elég memória."_qs},
        {"something not an exception", [] { throw 7; }, u"Ismeretlen hiba."_qs},
    };
    TForm1 form;
    form.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SeenBox seen;
        AnswerNextBox(u"OK"_qs, &seen);
        bool after = false;
        QTimer::singleShot(0, &form, c.Throw);
        QTimer::singleShot(0, &form, [&] { after = true; });
        RunEventsUntil([&] { return seen.Seen && after; });
        ASSERT_TRUE(seen.Seen);
        EXPECT_EQ(seen.Caption, u"Figyelmeztetés"_qs);
        EXPECT_EQ(seen.Icon, QMessageBox::Warning);
        EXPECT_EQ(seen.Text, c.Text);
        EXPECT_EQ(seen.Buttons, QStringList{u"OK"_qs});
        EXPECT_TRUE(after);
    }

    // Thrown by a button's handler behind a real click: shown the same way, and the window
    // stays usable.
    const auto click = [](QWidget* button) {
        const QPointF at(button->width() / 2.0, button->height() / 2.0);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, button->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(button, &event);
        }
    };
    form.ChooseFiles = []() -> QStringList { throw std::runtime_error("A mappa nem olvasható."); };
    SeenBox seen;
    AnswerNextBox(u"OK"_qs, &seen);
    click(form.AddButton);
    EXPECT_EQ(seen.Text, u"A mappa nem olvasható."_qs);
    EXPECT_TRUE(form.isVisible());
    form.ChooseFiles = [] { return QStringList{u"/d/a.aaf"_qs}; };
    click(form.AddButton);
    EXPECT_EQ(form.Rows(), AsRows({"/d/a.aaf"}));
}

// The title the window system holds for a window (_NET_WM_NAME, UTF-8), read with xprop as a
// window manager reads it; empty while the property is not there.
QString WindowSystemTitle(const QWidget& window) {
    QProcess xprop;
    xprop.start(u"xprop"_qs, {u"-id"_qs, QString::number(window.winId()), u"-notype"_qs, u"-f"_qs,
                              u"_NET_WM_NAME"_qs, u"8x"_qs, u" $0+"_qs, u"_NET_WM_NAME"_qs});
    if (!xprop.waitForFinished(5000) || xprop.exitCode() != 0) return {};
    // "_NET_WM_NAME 0x54, 0x65, 0x72"
    const QString output = QString::fromLatin1(xprop.readAllStandardOutput()).trimmed();
    if (!output.startsWith(u"_NET_WM_NAME 0x"_qs)) return {};
    QByteArray bytes;
    for (const QString& value : output.section(u' ', 1).split(u',')) {
        bool ok = false;
        const int byte = value.trimmed().toInt(&ok, 16);
        if (!ok || byte < 0 || byte > 255) return {};
        bytes.append(static_cast<char>(byte));
    }
    return QString::fromUtf8(bytes);
}

QString AwaitWindowSystemTitle(const QWidget& window) {
    QString title;
    RunEventsUntil([&] { return !(title = WindowSystemTitle(window)).isEmpty(); });
    return title;
}

// What the title bars show: each window's title alone, with no application name appended.
// Needs a real X server: CTest runs it under xvfb-run as tervalo_gui_x11_titles.
TEST(Unit1Test, WindowSystemShowsTheTitlesExactly) {
    if (QGuiApplication::platformName() != u"xcb"_qs)
        GTEST_SKIP() << "needs an X server (QT_QPA_PLATFORM=xcb), not "
                     << QGuiApplication::platformName().toStdString();
    if (QStandardPaths::findExecutable(u"xprop"_qs).isEmpty())
        GTEST_SKIP() << "xprop (x11-utils) is not installed";
    TForm1 form;
    TAboutBox about(&form);
    form.AboutBox = &about;
    form.show();

    struct Seen {
        QString WindowSystem, Platform, Widget;
    };
    const auto read = [](const QWidget& window) {
        const QWindow* handle = window.windowHandle();
        return Seen{AwaitWindowSystemTitle(window), handle ? handle->title() : QString(),
                    window.windowTitle()};
    };
    struct Case {
        const char* Name;
        QString Title;
        std::function<void()> Open;  // shows a modal window; empty: the main window
    };
    TForm1Effects effects(form);
    const Case cases[] = {
        {"main window", u"Tervalo 1.5"_qs, {}},
        {"about dialog", u"Névjegy"_qs, [&] { form.Button1->click(); }},
        {"file dialog", u"Fájl hozzáadása"_qs, [&] { form.AddButton->click(); }},
        {"warning box", u"Figyelmeztetés"_qs, [&] { form.Button4->click(); }},
        {"information box", u"Információ"_qs,
         [&] { effects.ShowMessage(MessageKind::Information, "Az átalakítás sikerült!"); }},
        {"exception box", u"Figyelmeztetés"_qs,
         [&] {
             bool passed = false;
             QTimer::singleShot(0, &form, [] { throw std::runtime_error("Hiba"); });
             QTimer::singleShot(0, &form, [&] { passed = true; });
             RunEventsUntil([&] { return passed; });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Seen seen;
        if (c.Open) {
            AnswerNextDialog([&](QDialog* dialog) {
                seen = read(*dialog);
                dialog->reject();
            });
            c.Open();
        } else {
            seen = read(form);
        }
        EXPECT_EQ(seen.WindowSystem, c.Title);
        EXPECT_EQ(seen.Platform, c.Title);
        EXPECT_EQ(seen.Widget, c.Title);
    }
    EXPECT_EQ(QCoreApplication::applicationName(), u"Tervalo"_qs);
}

}  // namespace
}  // namespace tervalo::test
