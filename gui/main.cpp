// Tervalo: starts the window and the about dialog, lists the files given, runs the event loop.
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "gui/Unit1.h"
#include "gui/Unit3.h"

int main(int argc, char* argv[]) {
    TApplication application(argc, argv);
    try {
        TForm1 form;
        TAboutBox aboutBox(&form);
        form.AboutBox = &aboutBox;
        // Files named on the command line, as a file manager names those opened with the
        // program, join the list.
        QStringList files;
        const QStringList arguments = QCoreApplication::arguments();
        for (qsizetype i = 1; i < arguments.size(); ++i) {
            const QFileInfo file(arguments[i]);
            if (file.isFile()) files.push_back(file.absoluteFilePath());
        }
        form.AddFiles(files);
        form.show();
        return QApplication::exec();
    } catch (int) {
        // The only thing thrown: a database whose first buffer could not be allocated.
        QMessageBox::critical(nullptr, QStringLiteral("Tervalo"),
                              QStringLiteral(u"Nincs elég memória."));
        return 1;
    }
}
