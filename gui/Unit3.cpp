// TAboutBox: the about dialog's layout; OK or the close box ends it, nothing else happens.
#include "gui/Unit3.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QScreen>

namespace {

QFont ArialFont(int pixels, bool bold, const QString& family = QStringLiteral("Arial")) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint place,
                  const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->move(place);
    label->adjustSize();
    return label;
}

// The format diagram: maroon bold captions naming the programs behind each format.
QLabel* MakeDiagramLabel(QWidget* parent, const char* name, const QString& text, QPoint place,
                         const QFont& font, const QString& hint) {
    QLabel* label = MakeLabel(parent, name, text, place, font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
    label->setPalette(palette);
    if (!hint.isEmpty()) label->setToolTip(hint);
    return label;
}

}  // namespace

void LoadTervaloResources() {
    Q_INIT_RESOURCE(tervalo);
    Q_INIT_RESOURCE(tervalo_translations);
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    LoadTervaloResources();
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral(u"Névjegy"));
    setWindowIcon(QIcon(QStringLiteral(":/tervalo-icon.png")));
    setFont(ArialFont(12, false));
    setFixedSize(372, 246);
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(2, 2, 359, 141);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(6, 5, 110, 130);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/ram-and-lamb.gif")));

    ProductName = new QLabel(QStringLiteral("Tervalo 1.5"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->setGeometry(128, 6, 207, 42);
    ProductName->setFont(ArialFont(15, true));
    ProductName->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    ProductName->setWordWrap(true);

    Version = MakeLabel(Panel1, "Version", QStringLiteral(u"1.5-ös változat, Tervalo csapat"),
                        {153, 49}, font());
    Label1 = MakeLabel(Panel1, "Label1", QStringLiteral("tervalo@example.org"), {177, 69}, font());
    Label2 = MakeLabel(Panel1, "Label2", QStringLiteral("https://tervalo.example.org"), {136, 89},
                       font());

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(202, 115, 65, 21);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    OKButton->raise();  // it lies over the lower right of the panel
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    const QFont diagram13 = ArialFont(13, true);
    const QFont diagram12 = ArialFont(12, true);
    // Every input, one below the other beside the brace; the outputs stand behind it.
    const QFont inputs = ArialFont(11, true);
    Label3 = MakeDiagramLabel(this, "Label3", QStringLiteral("Placidus"), {10, 146},
                              ArialFont(11, true, QStringLiteral("Arial Narrow")),
                              QStringLiteral("Placidus"));
    Label13 = MakeDiagramLabel(this, "Label13", QStringLiteral("Morinus"), {10, 158},
                               ArialFont(11, true, QStringLiteral("Arial Narrow")),
                               QStringLiteral("Morinus"));
    Label5 = MakeDiagramLabel(this, "Label5", QStringLiteral(".AAF"), {10, 170}, inputs,
                              QStringLiteral("MegaStar, AstroSys"));
    Label6 = MakeDiagramLabel(this, "Label6", QStringLiteral(".QCK"), {10, 182}, inputs,
                              QStringLiteral("Solar Fire, Kepler, Janus"));
    Label14 = MakeDiagramLabel(this, "Label14", QStringLiteral(".SZK"), {10, 194}, inputs,
                               QStringLiteral("Regiomontanus"));
    Label15 = MakeDiagramLabel(this, "Label15", QStringLiteral(".CSV"), {10, 206}, inputs,
                               QStringLiteral("Excel"));
    Label16 = MakeDiagramLabel(this, "Label16", QStringLiteral(".SFCHT"), {10, 218}, inputs,
                               QStringLiteral("Solar Fire"));
    Label17 = MakeDiagramLabel(this, "Label17", QStringLiteral(".XML"), {10, 230}, inputs,
                               QStringLiteral("Astro-Databank"));
    Label7 = MakeDiagramLabel(this, "Label7", QStringLiteral("}"), {60, 138}, ArialFont(91, false),
                              QString());
    Label7->setFixedSize(31, 107);
    Label7->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label4 = MakeDiagramLabel(this, "Label4", QStringLiteral(".AAF (MegaStar, AstroSys)"),
                              {96, 146}, diagram12, QStringLiteral("MegaStar, AstroSys"));
    Label9 = MakeDiagramLabel(this, "Label9", QStringLiteral(".QCK (Solar Fire, Kepler, Janus)"),
                              {96, 163}, diagram12, QStringLiteral("Solar Fire, Kepler, Janus"));
    Label10 = MakeDiagramLabel(this, "Label10", QStringLiteral(".NUM (Numerology)"), {96, 179},
                               diagram12, QStringLiteral("Numerology"));
    Label8 = MakeDiagramLabel(this, "Label8", QStringLiteral(".CSV (Excel)"), {96, 196}, diagram12,
                              QStringLiteral("Excel"));
    Label11 = MakeDiagramLabel(this, "Label11", QStringLiteral(".HOR (Morinus, Valens)"), {96, 212},
                               diagram12, QStringLiteral("Morinus"));
    Label12 = MakeDiagramLabel(this, "Label12", QStringLiteral(".SZK (Regiomontanus)"), {96, 229},
                               diagram12, QStringLiteral("Regiomontanus"));

    setTabOrder(OKButton, OKButton);
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, not on the main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}
