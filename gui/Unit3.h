// TAboutBox: the about dialog with the picture and the diagram of formats read and written.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

class QShowEvent;

// Registers the picture, the icons and Qt's Hungarian texts; the window library is static, so its
// resources are not registered by the linker on their own.
void LoadTervaloResources();

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QPushButton* OKButton;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label7;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label13;
    QLabel* Label14;
    QLabel* Label15;
    QLabel* Label16;
    QLabel* Label17;

protected:
    void showEvent(QShowEvent* event) override;
};
