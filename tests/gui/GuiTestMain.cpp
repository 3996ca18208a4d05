// The window tests' main: a QApplication around GoogleTest, and two test-only modes that save
// screenshots and time a conversion through the window.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include "GuiSupport.h"
#include "core/Platform.h"
#include "gui/Unit1.h"
#include "gui/Unit3.h"

namespace tervalo::test {

namespace {

QWidget* ActiveModal() {
    return QApplication::activeModalWidget();
}

void PollFor(std::function<bool()> tryAnswer) {
    auto* timer = new QTimer(qApp);
    auto started =
        std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, started, tryAnswer] {
        if (tryAnswer()) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (std::chrono::steady_clock::now() - *started > std::chrono::seconds(10)) {
            ADD_FAILURE() << "no modal box or dialog appeared";
            timer->stop();
            timer->deleteLater();
            if (auto* dialog = qobject_cast<QDialog*>(ActiveModal())) dialog->reject();
        }
    });
    timer->start(5);
}

}  // namespace

void AnswerNextBox(const QString& buttonText, SeenBox* seen, std::function<void()> whileShown) {
    PollFor([=] {
        auto* box = qobject_cast<QMessageBox*>(ActiveModal());
        if (box == nullptr || !box->isVisible()) return false;
        if (seen != nullptr) {
            seen->Seen = true;
            seen->Caption = box->windowTitle();
            seen->Text = box->text();
            seen->Icon = box->icon();
            seen->Details = box->detailedText();
            seen->Buttons.clear();
            for (QAbstractButton* button : box->buttons())
                seen->Buttons << button->text();
        }
        if (whileShown) whileShown();
        if (buttonText.isEmpty()) {
            box->reject();
            return true;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == buttonText) {
                button->click();
                return true;
            }
        }
        ADD_FAILURE() << "no button " << buttonText.toStdString();
        box->reject();
        return true;
    });
}

void AnswerNextDialog(std::function<void(QDialog*)> answer) {
    PollFor([=] {
        auto* dialog = qobject_cast<QDialog*>(ActiveModal());
        if (dialog == nullptr || !dialog->isVisible()) return false;
        answer(dialog);
        // A dialog the answer failed to close must not keep the tests waiting.
        QTimer::singleShot(2000, dialog, [dialog] {
            if (!dialog->isVisible()) return;
            ADD_FAILURE() << "the dialog stayed open";
            dialog->reject();
        });
        return true;
    });
}

void Settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

}  // namespace tervalo::test

namespace {

using tervalo::test::Settle;

// Lets events run for a while: the file dialog reads its folder on a thread of its own.
void SettleFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A run's closing box with its findings shown: the box is grabbed once its details button has
// been clicked and the list has been laid out.
bool SaveClosingDetails(TForm1& form, const QString& path, const std::string& folder) {
    using tervalo::ChartField;
    using tervalo::FindingKind;
    const std::string family = folder + "csalad.aaf";
    const std::string club = folder + "klub.qck";
    tervalo::RunReport report;
    report.Ending = tervalo::RunEnding::Completed;
    report.Findings = {
        {FindingKind::Corrected, family, 3, 9, "Kovács Ödön", ChartField::Latitude,
         "95°00' → 90°00'"},
        {FindingKind::Suspicious, family, 5, 17, "Szabó Anna", ChartField::Day, "1950.02.30"},
        {FindingKind::Lost, family, 6, 21, "Nagy Béla", ChartField::Notes, ""},
        {FindingKind::Lost, family, 8, 29, "Horváth Mária Terézia", ChartField::Name,
         "Horváth Mária Terézia → Horváth,Mária Teréz"},
        {FindingKind::Lost, club, 2, 2, "Tóth János", ChartField::Longitude, "19°03'30\" → 19°03'"},
        {FindingKind::Similar, club, 4, 4, "Kovács Ödön", ChartField::None,
         tervalo::EarlierChartDetail(family, 3)},
    };
    tervalo::FindingLog log({});
    for (const tervalo::Finding& finding : report.Findings)
        log.Add(finding);
    report.Tally = log.Tally();
    report.ReportFile = folder + "jelentes123456.txt";
    report.ReportWritten = true;
    std::string details;
    for (const tervalo::Finding& finding : report.Findings)
        details += tervalo::ReportLine(finding) + "\n";
    details.pop_back();

    bool saved = false;
    tervalo::test::AnswerNextBox(QStringLiteral("OK"), nullptr, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole) button->click();
        }
        Settle();
        saved = box->grab().save(path);
    });
    TForm1Effects effects(form);
    effects.SetMessageDetails(details);
    effects.ShowMessage(tervalo::MessageKind::Information, tervalo::ClosingMessage(report));
    return saved;
}

// Saves the main window (with two rows), the about dialog, the file dialog on a folder of chart
// files and a closing box with its details as they are drawn.
int SaveScreenshots(const QString& folder) {
    TForm1 form;
    TAboutBox aboutBox(&form);
    form.AboutBox = &aboutBox;
    // Paths of the system the window runs on.
    if (tervalo::IsPathSeparator('\\')) {
        form.AddFiles({QStringLiteral(u"C:\\Users\\Anna\\Horoszkópok\\Család.aaf"),
                       QStringLiteral(u"C:\\Users\\Anna\\Horoszkópok\\Klub.qck"),
                       QStringLiteral(u"C:\\Users\\Anna\\Horoszkópok\\Placidus\\Nagyapa.hor")});
    } else {
        form.AddFiles({QStringLiteral("/home/anna/horoszkopok/csalad.aaf"),
                       QStringLiteral("/home/anna/horoszkopok/klub.qck"),
                       QStringLiteral("/home/anna/horoszkopok/placidus/nagyapa.hor")});
    }
    form.Box->setCurrentRow(1);
    form.show();
    Settle();
    const bool mainSaved = form.grab().save(QDir(folder).filePath("main-window.png"));
    aboutBox.show();
    Settle();
    const bool aboutSaved = aboutBox.grab().save(QDir(folder).filePath("about-dialog.png"));
    aboutBox.hide();

    QTemporaryDir charts;
    const QDir chartFolder(charts.path());
    chartFolder.mkpath(QStringLiteral("horoszkopok/placidus"));
    for (const char* name :
         {"csalad.aaf", "klub.qck", "ismerosok.aaf", "nagyapa.hor", "jegyzet.txt"}) {
        QFile file(chartFolder.filePath(QStringLiteral("horoszkopok/") + QLatin1String(name)));
        if (file.open(QIODevice::WriteOnly)) file.write(QByteArray(2000, '\n'));
    }
    form.OpenDialog1->setDirectory(chartFolder.filePath(QStringLiteral("horoszkopok")));
    form.OpenDialog1->selectNameFilter(form.OpenDialog1->nameFilters().front());
    form.OpenDialog1->show();
    SettleFor(std::chrono::milliseconds(1000));
    const bool dialogSaved =
        form.OpenDialog1->grab().save(QDir(folder).filePath("file-dialog.png"));
    form.OpenDialog1->hide();
    const bool closingSaved =
        SaveClosingDetails(form, QDir(folder).filePath("closing-details.png"),
                           tervalo::IsPathSeparator('\\') ? "C:\\Users\\Anna\\Horoszkópok\\"
                                                          : "/home/anna/horoszkopok/");
    return mainSaved && aboutSaved && dialogSaved && closingSaved ? 0 : 1;
}

// Converts one file to AAF through the window, answering the closing message, and prints the
// time from the click to the run's return.
int TimeConversion(const QString& input, const QString& outputFolder) {
    TForm1 form;
    form.ExecutablePath = QDir(outputFolder).filePath(QStringLiteral("tervalo"));
    form.AddFiles({input});
    form.show();
    Settle();
    tervalo::test::SeenBox seen;
    std::chrono::steady_clock::time_point messageShown;
    tervalo::test::AnswerNextBox(QStringLiteral("OK"), &seen,
                                 [&] { messageShown = std::chrono::steady_clock::now(); });
    const auto start = std::chrono::steady_clock::now();
    form.ConvertButtonClick();
    const auto end = std::chrono::steady_clock::now();
    // The first figure ends when the closing message is on screen (found by a 5 ms poll);
    // the second includes answering it.
    std::printf("%.3f s to the closing message, %.3f s to the end, counter %s, message: %s\n",
                std::chrono::duration<double>(messageShown - start).count(),
                std::chrono::duration<double>(end - start).count(),
                form.Numero->text().toUtf8().constData(), seen.Text.toUtf8().constData());
    return seen.Seen ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool screenshots = argc == 3 && std::strcmp(argv[1], "--screenshots") == 0;
    const bool timing = argc == 4 && std::strcmp(argv[1], "--time-conversion") == 0;
    if (!screenshots && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The program's own application object, so that the tests see Qt's texts as users do.
    TApplication application(argc, argv);
    // Qt's arguments come whole from the UTF-16 command line on Windows.
    const QStringList arguments = QApplication::arguments();
    if (screenshots) return SaveScreenshots(arguments.at(2));
    if (timing) return TimeConversion(arguments.at(2), arguments.at(3));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
