// Helpers for the window tests: answering modal boxes and dialogs from a timer.
#pragma once

#include <functional>
#include <ostream>

#include <QMessageBox>
#include <QString>
#include <QStringList>

// Failure messages show Qt texts as text, not as arrays of UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tervalo::test {

// What a modal box looked like when it was answered.
struct SeenBox {
    bool Seen = false;
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QStringList Buttons;
    QString Details;  // the text behind the box's "show details" button; empty: no such button
};

// Waits for the next modal message box, calls `whileShown` (the run is still inside its
// closing message then), and clicks the button with `buttonText`, or rejects the box when the
// text is empty. Gives up after ten seconds, closing whatever is modal, so no test hangs.
void AnswerNextBox(const QString& buttonText, SeenBox* seen = nullptr,
                   std::function<void()> whileShown = {});

// Waits for the next modal dialog of any kind and hands it to `answer`.
void AnswerNextDialog(std::function<void(QDialog*)> answer);

// Lets the pending events run: what a click or a close posted has happened afterwards.
void Settle();

}  // namespace tervalo::test
