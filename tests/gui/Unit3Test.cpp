// Tests of the about dialog: texts, hints, the picture and how it ends.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>

#include "GuiSupport.h"
#include "TestSupport.h"
#include "gui/Unit3.h"

namespace tervalo::test {
namespace {

TEST(Unit3Test, DiagramLabelsShowTheirHintsAndTheOthersNone) {
    TAboutBox about;
    struct Case {
        const char* Name;
        QString Text;
        QString Hint;
    };
    const Case cases[] = {
        {"Label3", u"Placidus"_qs, u"Placidus"_qs},
        {"Label5", u".AAF"_qs, u"MegaStar, AstroSys"_qs},
        {"Label6", u".QCK"_qs, u"Solar Fire, Kepler, Janus"_qs},
        {"Label13", u"Morinus"_qs, u"Morinus"_qs},
        {"Label14", u".SZK"_qs, u"Regiomontanus"_qs},
        {"Label15", u".CSV"_qs, u"Excel"_qs},
        {"Label16", u".SFCHT"_qs, u"Solar Fire"_qs},
        {"Label17", u".XML"_qs, u"Astro-Databank"_qs},
        {"Label7", u"}"_qs, {}},
        {"Label4", u".AAF (MegaStar, AstroSys)"_qs, u"MegaStar, AstroSys"_qs},
        {"Label9", u".QCK (Solar Fire, Kepler, Janus)"_qs, u"Solar Fire, Kepler, Janus"_qs},
        {"Label10", u".NUM (Numerology)"_qs, u"Numerology"_qs},
        {"Label8", u".CSV (Excel)"_qs, u"Excel"_qs},
        {"Label11", u".HOR (Morinus, Valens)"_qs, u"Morinus"_qs},
        {"Label12", u".SZK (Regiomontanus)"_qs, u"Regiomontanus"_qs},
        {"ProductName", u"Tervalo 1.5"_qs, {}},
        {"Version", {}, {}},
        {"Label1", {}, {}},
        {"Label2", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto* label = about.findChild<QLabel*>(QLatin1String(c.Name));
        ASSERT_NE(label, nullptr);
        if (!c.Text.isEmpty()) {
            EXPECT_EQ(label->text(), c.Text);
        }
        EXPECT_FALSE(label->text().isEmpty());
        EXPECT_EQ(label->toolTip(), c.Hint);
    }
    EXPECT_EQ(about.windowTitle(), u"Névjegy"_qs);
    EXPECT_EQ(about.size(), QSize(372, 246));
    EXPECT_EQ(about.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_EQ(about.Panel1->geometry(), QRect(2, 2, 359, 141));
    EXPECT_EQ(about.ProductName->font().pixelSize(), 15);
    EXPECT_TRUE(about.ProductName->font().bold());
    EXPECT_TRUE(about.Label12->font().bold());
    EXPECT_EQ(about.Label7->size(), QSize(31, 107));
    EXPECT_TRUE(about.OKButton->isDefault());
    EXPECT_EQ(about.OKButton->text(), u"OK"_qs);
}

TEST(Unit3Test, PictureIsTheTwoColourInterlacedGifStretchedIntoItsFrame) {
    QFile file(u":/ram-and-lamb.gif"_qs);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GT(bytes.size(), 30);
    EXPECT_EQ(bytes.left(6), QByteArray("GIF87a"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]), 0x80);  // global table of two entries
    EXPECT_EQ(bytes.mid(13, 6), QByteArray("\xFC\xF6\xB6\x91\x21\x21", 6));  // yellow, red
    EXPECT_EQ(bytes[19], ',');                                      // the one image follows
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]) & 0x40, 0x40);  // interlaced

    ASSERT_TRUE(QImageReader::supportedImageFormats().contains("gif"));
    TAboutBox about;
    const QPixmap picture = about.ProgramIcon->pixmap();
    EXPECT_EQ(picture.size(), QSize(534, 645));
    EXPECT_TRUE(about.ProgramIcon->hasScaledContents());
    EXPECT_EQ(about.ProgramIcon->geometry(), QRect(6, 5, 110, 130));
    EXPECT_EQ(about.ProgramIcon->parentWidget(), about.Panel1);
}

TEST(Unit3Test, OkOrEnterEndsItWithResultOneAndItCanBeShownAgain) {
    TAboutBox about;
    for (int round = 0; round < 2; ++round) {
        AnswerNextDialog([&](QDialog*) {
            if (round == 0) {
                about.OKButton->click();
            } else {
                QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(&about, &enter);
            }
        });
        EXPECT_EQ(about.exec(), 1);
        EXPECT_FALSE(about.isVisible());
    }
}

}  // namespace
}  // namespace tervalo::test
