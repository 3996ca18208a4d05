// Tervalo: starts the window and the about dialog and runs the event loop.
#include <QMessageBox>

#include "gui/Unit1.h"
#include "gui/Unit3.h"

int main(int argc, char* argv[]) {
    TApplication application(argc, argv);
    try {
        TForm1 form;
        TAboutBox aboutBox(&form);
        form.AboutBox = &aboutBox;
        form.show();
        return QApplication::exec();
    } catch (int) {
        // The only thing thrown: a database whose first buffer could not be allocated.
        QMessageBox::critical(nullptr, QStringLiteral("Tervalo"),
                              QStringLiteral(u"Nincs elég memória."));
        return 1;
    }
}
