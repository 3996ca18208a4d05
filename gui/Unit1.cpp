// TForm1: the main window's controls, the list handlers and the wiring of a conversion run.
#include "gui/Unit1.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <utility>

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPalette>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextOption>
#include <QUrl>

#include "core/Platform.h"
#include "formats/AafDatabase.h"
#include "formats/CountryCodeTable.h"
#include "formats/QckDatabase.h"
#include "gui/Unit3.h"
#include "run/FileList.h"
#include "run/OutputFolder.h"

std::atomic<bool> AbortRequested{false};

namespace {

// The window was laid out in pixels for Arial at 12 pixels (9 points at 96 pixels per inch).
QFont ArialFont(int pixels, bool bold = false, bool italic = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& place, const QString& hint = {}) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    if (!hint.isEmpty()) button->setToolTip(hint);
    return button;
}

// The footnote labels share their maroon-red italic look.
QLabel* MakeNote(QWidget* parent, const char* name, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setFont(ArialFont(12, false, true));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(153, 41, 38));
    label->setPalette(palette);
    return label;
}

// Qt shows a box's details in a strip a hundred pixels high and as wide as the box's text,
// wrapping every line at tab stops a fixed distance apart: a finding per line, its cells
// scattered, no longer reads as a row. The strip keeps each line whole and sets a tab stop after
// each column's widest cell, so the findings stand as a table; it shows a dozen lines, as wide
// as the table up to most of the screen, and scrolls for the rest.
void ShapeDetails(QMessageBox& box) {
    auto* details = box.findChild<QTextEdit*>();
    if (details == nullptr) return;
    details->setLineWrapMode(QTextEdit::NoWrap);
    const QFontMetrics metrics(details->font());
    const int gap = metrics.averageCharWidth() * 2;
    std::vector<int> columnWidths;
    for (const QString& line : details->toPlainText().split(u'\n')) {
        const QStringList cells = line.split(u'\t');
        if (columnWidths.size() < static_cast<std::size_t>(cells.size()))
            columnWidths.resize(static_cast<std::size_t>(cells.size()), 0);
        for (qsizetype i = 0; i < cells.size(); ++i) {
            int& width = columnWidths[static_cast<std::size_t>(i)];
            width = std::max(width, metrics.horizontalAdvance(cells[i]) + gap);
        }
    }
    QList<QTextOption::Tab> tabs;
    qreal position = 0;
    for (std::size_t i = 0; i + 1 < columnWidths.size(); ++i) {
        position += columnWidths[i];
        tabs.append(QTextOption::Tab(position, QTextOption::LeftTab));
    }
    // The document's layout takes each line's stops from its block format.
    QTextBlockFormat format;
    format.setTabPositions(tabs);
    QTextCursor everything(details->document());
    everything.select(QTextCursor::Document);
    everything.mergeBlockFormat(format);
    const int tableWidth =
        static_cast<int>(position) + (columnWidths.empty() ? 0 : columnWidths.back()) +
        details->verticalScrollBar()->sizeHint().width() + 2 * details->frameWidth() +
        static_cast<int>(details->document()->documentMargin() * 2);
    const QScreen* screen = box.screen();
    const int widest = screen != nullptr ? screen->availableGeometry().width() * 4 / 5 : 800;
    details->setMinimumWidth(std::min(tableWidth, widest));
    details->setFixedHeight(metrics.lineSpacing() * 12 + 2 * details->frameWidth() +
                            static_cast<int>(details->document()->documentMargin() * 2));
}

// One standard box with the program's captions and Hungarian button texts; returns the text of
// the button that closed it, empty when it was closed otherwise. (The buttons die with the box,
// so their text is taken before it goes.) Details, when given, wait behind Qt's own button
// that shows them, so that a long list never pushes the box off the screen.
QString AskWithButtons(QWidget* parent, tervalo::MessageKind kind, const QString& text,
                       const QStringList& buttons, const QString& details = {}) {
    const bool warning = kind == tervalo::MessageKind::Warning;
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information,
                    warning ? QStringLiteral(u"Figyelmeztetés") : QStringLiteral(u"Információ"),
                    text, QMessageBox::NoButton, parent);
    QPushButton* first = nullptr;
    for (const QString& caption : buttons) {
        const bool yes = first == nullptr;
        QPushButton* button = box.addButton(
            caption, buttons.size() == 1 ? QMessageBox::AcceptRole
                                         : (yes ? QMessageBox::YesRole : QMessageBox::NoRole));
        if (first == nullptr) first = button;
    }
    box.setDefaultButton(first);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
        ShapeDetails(box);
    }
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    return clicked != nullptr ? clicked->text() : QString();
}

// Shows an exception that reached the event loop or a handler in a warning box with its text.
// The box itself may fail when memory is short; the text then goes to the error stream, so that
// the failure is never silent.
void ShowException(const std::exception_ptr& error) {
    QString text;
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::bad_alloc&) {
            text = QStringLiteral(u"Nincs elég memória.");
        } catch (const std::exception& exception) {
            // The program's texts are UTF-8 on every system, whatever the ANSI code page.
            text = QString::fromUtf8(exception.what());
        } catch (...) {
            text = QStringLiteral(u"Ismeretlen hiba.");
        }
        QWidget* parent = QApplication::activeModalWidget();
        if (parent == nullptr) parent = QApplication::activeWindow();
        AskWithButtons(parent, tervalo::MessageKind::Warning, text, {QStringLiteral("OK")});
    } catch (...) {
        std::fprintf(stderr, "Tervalo: %s\n", text.toLocal8Bit().constData());
    }
}

// A button's handler whose exceptions are shown where the handler was called. Qt's widget code
// is built without exception cleanup: unwinding through it would leak and could leave the
// button half-pressed, so only what is thrown elsewhere is left to TApplication::notify.
auto Guarded(TForm1* form, void (TForm1::*handler)()) {
    return [form, handler] {
        try {
            (form->*handler)();
        } catch (...) {
            ShowException(std::current_exception());
        }
    };
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tervalo"));
    // The installed desktop entry: a Linux desktop shows its icon and name for the window.
    setDesktopFileName(QStringLiteral("io.github.tervalo.Tervalo"));
    // No display name: Qt would append it to every title bar.
    LoadTervaloResources();
    // Sizes, dates and file kinds in the file dialog follow the program's language too.
    QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
    QtTextsInstalled =
        QtTexts.load(QStringLiteral(":/translations/qtbase_hu.qm")) && installTranslator(&QtTexts);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
    }
    return false;
}

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), Buttons(new QButtonGroup(this)) {
    Buttons->setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QRadioButton(items[i], this);
        Buttons->addButton(item, i);
        Items.push_back(item);
    }
}

int TRadioGroup::ItemIndex() const {
    return Buttons->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (QRadioButton* item = Item(index)) item->setChecked(true);
}

QRadioButton* TRadioGroup::Item(int index) const {
    if (index < 0 || index >= ItemCount()) return nullptr;
    return Items[static_cast<std::size_t>(index)];
}

// Items share the group's height evenly below the caption, like the classic radio group.
void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    if (Items.empty()) return;
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QRect contents =
        style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, this);
    const int step = contents.height() / ItemCount();
    constexpr int kItemHeight = 17;
    for (int i = 0; i < ItemCount(); ++i) {
        Items[static_cast<std::size_t>(i)]->setGeometry(
            contents.left() + 6, contents.top() + i * step + (step - kItemHeight) / 2,
            contents.width() - 12, kItemHeight);
    }
}

void TForm1Progress::ShowCount(std::int32_t count) {
    Count = count;
    CountPending = true;
}

void TForm1Progress::ProcessEvents() {
    const auto now = std::chrono::steady_clock::now();
    if (now - LastPump < kPumpInterval) return;
    LastPump = now;
    Flush();
    QCoreApplication::processEvents();
}

void TForm1Progress::Flush() {
    if (!CountPending) return;
    CountPending = false;
    Form.Numero->setText(QString::number(Count));
}

void TForm1Effects::SetControlEnabled(tervalo::RunControl control, bool enabled) {
    if (QWidget* widget = Form.ControlOf(control)) widget->setEnabled(enabled);
}

void TForm1Effects::SelectEntry(int index) {
    if (index < 0 || index >= Form.Box->count()) {
        Form.Box->setCurrentRow(-1);
        Form.Box->clearSelection();
        return;
    }
    Form.Box->setCurrentRow(index);
}

void TForm1Effects::SetMessageDetails(const std::string& details) {
    Details = details;
}

void TForm1Effects::ShowMessage(tervalo::MessageKind kind, const std::string& text) {
    if (Progress != nullptr) Progress->Flush();
    // The details belong to this box alone: taken now, so that a later box starts without them.
    const std::string details = std::exchange(Details, {});
    AskWithButtons(&Form, kind, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                   {QStringLiteral("OK")},
                   QString::fromUtf8(details.data(), static_cast<qsizetype>(details.size())));
}

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      ExecutablePath(QCoreApplication::applicationFilePath()) {
    SetUpWindow();
    CreateListButtons();
    CreateList();
    CreateGroups();
    CreateRunControls();
    CreateNotes();
    ChainTabOrder();
    CreateOpenDialog();
    ConnectButtons();
    CreateDatabases();
}

// The window itself: its fixed size and place, title, icon, and the font its controls inherit.
void TForm1::SetUpWindow() {
    LoadTervaloResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tervalo 1.5"));
    setAcceptDrops(true);
    setWindowIcon(QIcon(QStringLiteral(":/tervalo-icon.png")));
    setFont(ArialFont(12));
    setFixedSize(700, 422);
    move(290, 247);
}

// The buttons above the list: add, delete, clear, and the about box at the right.
void TForm1::CreateListButtons() {
    AddButton = MakeButton(this, "AddButton", QStringLiteral(u"Fájlok hozzáadása..."),
                           {14, 4, 139, 25}, QStringLiteral(u"Átalakítandó fájlok kiválasztása"));
    Button3 =
        MakeButton(this, "Button3", QStringLiteral(u"Fájl törlése a listáról"), {174, 4, 141, 25},
                   QStringLiteral(u"A kiválasztott fájl leszedése a listáról"));
    Button4 = MakeButton(this, "Button4", QStringLiteral(u"Lista törlése"), {340, 4, 97, 25});
    Button1 = MakeButton(this, "Button1", QStringLiteral(u"Névjegy..."), {557, 4, 81, 25});
}

void TForm1::CreateList() {
    Box = new QListWidget(this);
    Box->setObjectName(QStringLiteral("Box"));
    Box->setGeometry(5, 33, 691, 255);
    Box->setSelectionMode(QAbstractItemView::SingleSelection);
    Box->setUniformItemSizes(true);
    Box->setFont(ArialFont(12));
    QPalette boxPalette = Box->palette();
    boxPalette.setColor(QPalette::Base, Qt::white);
    boxPalette.setColor(QPalette::Text, Qt::black);
    Box->setPalette(boxPalette);
    Box->installEventFilter(this);
}

void TForm1::CreateGroups() {
    Group1 = new TRadioGroup(
        QStringLiteral(u"Cél adatbázis"),
        {QStringLiteral("AAF (MegaStar, AstroSys)"),
         QStringLiteral("QCK (Solar Fire, Janus, Kepler)"), QStringLiteral("NUM (Numerology)"),
         QStringLiteral("CSV (Excel)"), QStringLiteral("HOR (Morinus, Valens)*"),
         QStringLiteral("SZK (Regiomontanus)**")},
        this);
    Group1->setObjectName(QStringLiteral("Group1"));
    Group1->setGeometry(7, 290, 208, 128);
    Group1->SetItemIndex(0);

    Group2 = new TRadioGroup(
        QString(),
        {QStringLiteral(u"Külön-külön átalakítás"), QStringLiteral(u"Az összeset egybe")}, this);
    Group2->setObjectName(QStringLiteral("Group2"));
    Group2->setGeometry(236, 291, 161, 58);
    Group2->SetItemIndex(0);
}

// The convert and abort buttons, and the counter the run moves.
void TForm1::CreateRunControls() {
    ConvertButton =
        MakeButton(this, "ConvertButton", QStringLiteral(u">> Átalakít >>"), {541, 299, 121, 33},
                   QStringLiteral(u"Az átalakított fájlok a program könyvtárába kerülnek"));
    ConvertButton->setFont(ArialFont(13, true));
    Button6 = MakeButton(this, "Button6", QStringLiteral(u"Megszakít"), {561, 353, 82, 24});
    Button6->setFont(ArialFont(12, false, true));

    Numero = new QLabel(QStringLiteral("0"), this);
    Numero->setObjectName(QStringLiteral("Numero"));
    Numero->setGeometry(424, 308, 87, 15);
    Numero->setFont(ArialFont(12, true));
    Numero->setAlignment(Qt::AlignRight | Qt::AlignTop);
}

// The footnotes under the groups, on what the targets marked with stars leave to be checked.
void TForm1::CreateNotes() {
    Label1 =
        MakeNote(this, "Label1", QStringLiteral(u"A Placidus fájlok egy adatbázisba kerülnek!"),
                 {235, 360, 242, 15});
    Label2 =
        MakeNote(this, "Label2", QStringLiteral(u"*   Ellenőrizze kézzel a nyári időszámítást!"),
                 {235, 380, 234, 15});
    Label3 = MakeNote(this, "Label3", QStringLiteral(u"** Ellenőrizze kézzel a helyet!"),
                      {235, 400, 166, 15});
}

void TForm1::ChainTabOrder() {
    setTabOrder(AddButton, Button3);
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Button1);
    setTabOrder(Button1, Box);
    setTabOrder(Box, Group1);
    setTabOrder(Group1, Group2);
    setTabOrder(Group2, ConvertButton);
    setTabOrder(ConvertButton, Button6);
}

void TForm1::CreateOpenDialog() {
    OpenDialog1 = new QFileDialog(this, QStringLiteral(u"Fájl hozzáadása"));
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog, true);
    OpenDialog1->setOption(QFileDialog::HideNameFilterDetails, true);
    OpenDialog1->setFileMode(QFileDialog::ExistingFiles);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setDefaultSuffix(QStringLiteral("AAF"));
    OpenDialog1->setSizeGripEnabled(true);
    // The shown text is the part before the patterns; both letter cases are listed because
    // the file systems here tell them apart and chart files come with either.
    OpenDialog1->setNameFilters(
        {QStringLiteral("Asztro adat tipusok (aaf, qck, hor, szk, csv, sfcht, xml) (*.aaf *.qck "
                        "*.hor *.szk *.csv *.sfcht *.xml *.AAF *.QCK *.HOR *.SZK *.CSV *.SFcht "
                        "*.SFCHT *.XML)"),
         QStringLiteral(u"AAF fájlok (AAF) (*.aaf *.AAF)"),
         QStringLiteral(u"QCK fájlok (Solar Fire, QCK) (*.qck *.QCK)"),
         QStringLiteral(u"Placidus és Morinus fájlok (HOR) (*.hor *.HOR)"),
         QStringLiteral(u"Regiomontanus fájlok (SZK) (*.szk *.SZK)"),
         QStringLiteral(u"CSV fájlok (CSV) (*.csv *.CSV)"),
         QStringLiteral(u"Solar Fire fájlok (SFcht) (*.sfcht *.SFcht *.SFCHT)"),
         QStringLiteral(u"Astro-Databank fájlok (XML) (*.xml *.XML)"),
         QStringLiteral(u"Minden fájl (*.*) (*)")});
}

void TForm1::ConnectButtons() {
    connect(AddButton, &QPushButton::clicked, this, Guarded(this, &TForm1::AddButtonClick));
    connect(Button3, &QPushButton::clicked, this, Guarded(this, &TForm1::Button3Click));
    connect(Button4, &QPushButton::clicked, this, Guarded(this, &TForm1::Button4Click));
    connect(Button1, &QPushButton::clicked, this, Guarded(this, &TForm1::Button1Click));
    connect(ConvertButton, &QPushButton::clicked, this, Guarded(this, &TForm1::ConvertButtonClick));
    connect(Button6, &QPushButton::clicked, this, Guarded(this, &TForm1::Button6Click));
}

// The run's database objects, in the order the program has always created them.
void TForm1::CreateDatabases() {
    OutputAaf = std::make_unique<tervalo::AafDatabase>();
    OutputQck = std::make_unique<tervalo::QckDatabase>();
    InputAaf = std::make_unique<tervalo::AafDatabase>();
    InputQck = std::make_unique<tervalo::QckDatabase>();
    SL1 = tervalo::CountryCodeRows();
    OutputAaf->AddCountries(SL1);
}

TForm1::~TForm1() {
    FormClose();
}

QWidget* TForm1::ControlOf(tervalo::RunControl control) const {
    switch (control) {
        case tervalo::RunControl::Button1:
            return Button1;
        case tervalo::RunControl::AddButton:
            return AddButton;
        case tervalo::RunControl::Button3:
            return Button3;
        case tervalo::RunControl::Button4:
            return Button4;
        case tervalo::RunControl::ConvertButton:
            return ConvertButton;
        case tervalo::RunControl::Group1:
            return Group1;
        case tervalo::RunControl::Group2:
            return Group2;
        case tervalo::RunControl::Box:
            return Box;
    }
    return nullptr;
}

void TForm1::AddFiles(const QStringList& paths) {
    if (paths.isEmpty()) return;
    std::vector<std::string> added;
    added.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths)
        // UTF-8, never a code page; with the system's separators, as Qt gives "/" everywhere.
        added.push_back(QDir::toNativeSeparators(path).toStdString());
    tervalo::AddToFileList(ListRows, added, tervalo::NativePathCase());
    ShowRows();
}

void TForm1::ShowRows() {
    Box->clear();
    for (const std::string& row : ListRows) {
        auto* item = new QListWidgetItem(QString::fromStdString(row));
        item->setSizeHint(QSize(0, 15));
        Box->addItem(item);
    }
}

int TForm1::SelectedRow() const {
    const QList<QListWidgetItem*> selected = Box->selectedItems();
    return selected.isEmpty() ? -1 : Box->row(selected.front());
}

QStringList TForm1::RunOpenDialog() {
    OpenDialog1->selectNameFilter(OpenDialog1->nameFilters().front());
    if (OpenDialog1->exec() != QDialog::Accepted) return {};
    return OpenDialog1->selectedFiles();
}

void TForm1::AddButtonClick() {
    AddFiles(ChooseFiles ? ChooseFiles() : RunOpenDialog());
}

void TForm1::Button3Click() {
    int index = SelectedRow();
    if (index < 0) return;
    ListRows.erase(ListRows.begin() + index);
    delete Box->takeItem(index);
    const int last = static_cast<int>(ListRows.size()) - 1;
    if (index > last) index = last;
    TForm1Effects(*this).SelectEntry(index);
}

void TForm1::Button4Click() {
    const QString answer =
        AskWithButtons(this, tervalo::MessageKind::Warning, QStringLiteral(u"Törli a listát?"),
                       {QStringLiteral("&Igen"), QStringLiteral("&Nem")});
    if (answer != QStringLiteral("&Igen")) return;
    ListRows.clear();
    Box->clear();
}

void TForm1::BoxKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    (void)modifiers;  // Shift, Ctrl or Alt with Delete deletes all the same
    if (key == Qt::Key_Delete) Button3Click();
}

void TForm1::Button1Click() {
    if (AboutBox != nullptr) AboutBox->exec();
}

void TForm1::ConvertButtonClick() {
    if (Running || !DatabasesAlive()) return;
    tervalo::RunRequest request;
    request.Entries = ListRows;
    request.TargetIndex = Group1->ItemIndex();
    request.ModeIndex = Group2->ItemIndex();
    request.ExecutablePath = ExecutablePath.toStdString();
    // Asked at every run: the program's folder may have become writable, or stopped being so.
    request.OutputFolder =
        tervalo::FallbackOutputFolder(request.ExecutablePath, tervalo::DocumentsFolder());
    TForm1Progress progress(*this);
    TForm1Effects effects(*this, &progress);
    tervalo::RunDatabases databases{*OutputAaf, *OutputQck, *InputAaf, *InputQck};

    // A close asked for while the run pumps events waits for the run to return.
    struct RunningFlag {
        bool& Flag;
        explicit RunningFlag(bool& flag) : Flag(flag) { Flag = true; }
        ~RunningFlag() { Flag = false; }
    } running(Running);
    Report = tervalo::ConversionRun(request, AbortRequested, progress, effects, databases);
    progress.Flush();
    if (CloseAfterRun) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TForm1::Button6Click() {
    AbortRequested = true;
}

void TForm1::FormClose() {
    OutputAaf.reset();
    OutputQck.reset();
    InputAaf.reset();
    InputQck.reset();
}

namespace {

// The local files among dragged URLs; folders and remote addresses are no chart files.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile()) files << path;
    }
    return files;
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    // During a run the list is closed to changes, as its buttons are.
    if (!Running && !DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    if (Running) return;
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    AddFiles(files);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (Running) {
        // The run still uses the databases: stop it, and close once it has returned.
        CloseAfterRun = true;
        AbortRequested = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Box && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            BoxKeyDown(key->key(), key->modifiers());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
