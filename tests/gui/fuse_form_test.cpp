// The status register and organisation panel: encoding and decoding of the
// status register, initial choices, and the clicks that talk to the driver.
#include "main_window_fixture.h"
#include "widget_actions.h"

#include "catalogue/device_list.h"
#include "gui/fuse_form.h"
#include "gui/hex_edit.h"
#include "gui/radio_group.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

// Shows the panel and hands it a scripted driver.
class TTestOwner : public TFuseFormOwner {
  public:
    QWidget Parent;
    TFakeDriver Driver;
    TDevice* Device = DeviceList().GetNewDeviceInstance("24C128", TProgrammerSupport{pk_eisp});
    QList<int> PageSizes;
    bool Busy = false;

    QWidget* PanelParent() override { return &Parent; }
    TISPProgrammer* CurrentDriver() override { return &Driver; }
    TDevice* CurrentDevice() override { return Device; }
    void SetDriverPageSize(int Value) override { PageSizes << Value; }
    void RunPanelCommand(const std::function<void()>& Handler) override {
        if (!Busy) Handler();
    }
};

} // namespace

namespace {

// Pixels of a picture that are clearly red.
int RedPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90) ++n;
        }
    return n;
}

} // namespace

class FuseFormTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TTestOwner> owner;
    TBaseFuseForm* panel = nullptr;

  private slots:
    void init() {
        Script().Reset();
        owner = std::make_unique<TTestOwner>();
        panel =
            static_cast<TBaseFuseForm*>(TBaseFuseForm::GetNewForm(static_cast<TFuseFormOwner*>(owner.get())));
        QCOMPARE(panel->parentWidget(), &owner->Parent);
        QVERIFY(panel->isHidden());
        panel->show();
        owner->Parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner->Parent));
    }

    void cleanup() { owner.reset(); }

    void initialChoices() {
        QCOMPARE(panel->WPEN->ItemIndex(), 1);
        QCOMPARE(panel->BP->ItemIndex(), 0);
        QCOMPARE(panel->StatusReg->text(), QStringLiteral("00000000"));
        QVERIFY(panel->StatusReg->isReadOnly());
        QCOMPARE(panel->Mode->ItemIndex(), 1);
        QCOMPARE(panel->ResetPolarity->ItemIndex(), 2);
        QCOMPARE(panel->DeviceAddress->Value(), 0);
        QCOMPARE(panel->DevicePageSize->Value(), 0);
        QCOMPARE(panel->WriteAllValue->NumBase(), ebHex);
        QCOMPARE(panel->WriteAllValue->MaxValue(), 255);
        QCOMPARE(panel->DeviceAddress->NumBase(), ebDec);
        // The bus number is the chip's three address pins: 0..7, nothing else
        // can be typed (8 to 15 would select no chip).
        QCOMPARE(panel->DeviceAddress->MaxValue(), 7);
        QVERIFY(panel->DeviceAddress->Validate());
        panel->DeviceAddress->setFocus();
        panel->DeviceAddress->selectAll();
        QTest::keyClick(panel->DeviceAddress, Qt::Key_9);
        QCOMPARE(panel->DeviceAddress->Value(), 0);
        QTest::keyClick(panel->DeviceAddress, Qt::Key_7);
        QCOMPARE(panel->DeviceAddress->Value(), 7);
        QTest::keyClick(panel->DeviceAddress, Qt::Key_1); // 71
        QCOMPARE(panel->DeviceAddress->Value(), 7);
        QCOMPARE(panel->DeviceAddressValue(), 7);
        panel->DeviceAddress->SetValue(0);
        QCOMPARE(panel->DevicePageSize->MaxValue(), 255);
        QCOMPARE(panel->ResetPolarityIndex(), 2);
        QCOMPARE(panel->ModeIndex(), 1);
        QCOMPARE(panel->Group25C->title(), QStringLiteral("25CXX Devices"));
        QCOMPARE(panel->Group93C->title(), QStringLiteral("93CX6 Devices"));
        QCOMPARE(panel->BP->Item(3)->text(), QStringLiteral("Level 3 -  ALL"));
        QCOMPARE(panel->ResetPolarity->toolTip(),
                 QStringLiteral("MCU Reset Polarity :\nUsed to put Microcontroller\n"
                                "into reset while eeprom\nprogramming is activated"));
    }

    void setStatusReg_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("wpen");
        QTest::addColumn<int>("bp");
        QTest::addColumn<QString>("text");
        QTest::newRow("8C") << 0x8C << 0 << 3 << "10001100 8Ch";
        QTest::newRow("04") << 0x04 << 1 << 1 << "00000100 04h";
        QTest::newRow("00") << 0x00 << 1 << 0 << "00000000 00h";
        QTest::newRow("other bits") << 0x73 << 1 << 0 << "01110011 73h";
        QTest::newRow("FF") << 0xFF << 0 << 3 << "11111111 FFh";
    }

    void setStatusReg() {
        QFETCH(int, byte);
        QFETCH(int, wpen);
        QFETCH(int, bp);
        QFETCH(QString, text);
        panel->SetStatusReg(static_cast<std::uint8_t>(byte));
        QCOMPARE(panel->WPEN->ItemIndex(), wpen);
        QCOMPARE(panel->BP->ItemIndex(), bp);
        QCOMPARE(panel->StatusReg->text(), text);
        // Reading it back keeps only the bits the panel encodes.
        QCOMPARE(int(panel->GetStatusReg()), byte & 0x8C);
    }

    void getStatusReg_data() {
        QTest::addColumn<int>("wpen");
        QTest::addColumn<int>("bp");
        QTest::addColumn<int>("byte");
        QTest::newRow("enabled, level 2") << 0 << 2 << 0x88;
        QTest::newRow("disabled, none") << 1 << 0 << 0x00;
        QTest::newRow("disabled, all") << 1 << 3 << 0x0C;
        QTest::newRow("enabled, none") << 0 << 0 << 0x80;
    }

    void getStatusReg() {
        QFETCH(int, wpen);
        QFETCH(int, bp);
        QFETCH(int, byte);
        panel->WPEN->SetItemIndex(wpen);
        panel->BP->SetItemIndex(bp);
        QCOMPARE(int(panel->GetStatusReg()), byte);
        QCOMPARE(panel->StatusReg->text(), TBaseFuseForm::StatusText(static_cast<std::uint8_t>(byte)));
    }

    void protectionClicksRefreshTheText() {
        ClickItem(panel->WPEN, 0);
        QCOMPARE(panel->StatusReg->text(), QStringLiteral("10000000 80h"));
        ClickItem(panel->BP, 2);
        QCOMPARE(panel->StatusReg->text(), QStringLiteral("10001000 88h"));
        QVERIFY(Script().Calls.isEmpty());
    }

    void polarityClickSendsItAtOnce() {
        ClickItem(panel->ResetPolarity, 0);
        QCOMPARE(Script().Calls, QStringList{"Run(0)"});
        ClickItem(panel->ResetPolarity, 1);
        QCOMPARE(Script().Calls, (QStringList{"Run(0)", "Run(1)"}));
        QCOMPARE(panel->ResetPolarityIndex(), 1);
        // Setting the choice from the program sends nothing.
        panel->ResetPolarity->SetItemIndex(2);
        QCOMPARE(Script().Calls.size(), 2);
        // Nothing is sent while another command runs.
        owner->Busy = true;
        ClickItem(panel->ResetPolarity, 0);
        QCOMPARE(Script().Calls.size(), 2);
    }

    void modeClickSetsThePageSize() {
        ClickItem(panel->Mode, 0);
        QCOMPARE(panel->DevicePageSize->Value(), 8);
        QCOMPARE(panel->ModeIndex(), 0);
        QCOMPARE(owner->PageSizes, QList<int>{8});
        QCOMPARE(Script().Calls, (QStringList{"LoadSettings", "SaveSettings", "LoadSettings"}));
        ClickItem(panel->Mode, 1);
        QCOMPARE(panel->DevicePageSize->Value(), 16);
        QCOMPARE(owner->PageSizes, (QList<int>{8, 16}));
    }

    void defaultsRestoreTheDevicePageSize() {
        panel->DevicePageSize->SetValue(3);
        QTest::mouseClick(panel->Button1, Qt::LeftButton);
        QCOMPARE(panel->DevicePageSize->Value(), 64);
        QCOMPARE(owner->PageSizes, QList<int>{64});
        QCOMPARE(Script().Calls, (QStringList{"LoadSettings", "SaveSettings", "LoadSettings"}));
    }

    void familyEnabling_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("size");
        // Mode, WriteAll, WPEN, BP, StatusReg, PageSize, bus number
        QTest::addColumn<QList<bool>>("enabled");
        QTest::newRow("24C") << 0 << 8192 << QList<bool>{false, false, false, false, false, true, true};
        QTest::newRow("25C small") << 1 << 512 << QList<bool>{false, false, false, true, true, true, false};
        QTest::newRow("25C 1024") << 1 << 1024 << QList<bool>{false, false, true, true, true, true, false};
        QTest::newRow("93C") << 2 << 128 << QList<bool>{true, true, false, false, false, false, false};
    }

    void familyEnabling() {
        QFETCH(int, family);
        QFETCH(int, size);
        QFETCH(QList<bool>, enabled);
        panel->SetFamily(family, size);
        const QList<bool> actual{panel->Mode->isEnabled(),         panel->WriteAllValue->isEnabled(),
                                 panel->WPEN->isEnabled(),         panel->BP->isEnabled(),
                                 panel->StatusReg->isEnabled(),    panel->DevicePageSize->isEnabled(),
                                 panel->DeviceAddress->isEnabled()};
        QCOMPARE(actual, enabled);
        // The reset polarity applies to every family.
        QVERIFY(panel->ResetPolarity->isEnabled());
        // The write-protection warning is red only while its choice can be made.
        panel->resize(panel->sizeHint());
        QCOMPARE(panel->Label1->isEnabled(), panel->WPEN->isEnabled());
        QCOMPARE(RedPixels(panel->Label1->grab().toImage()) > 20, panel->WPEN->isEnabled());
    }
};

QTEST_MAIN(FuseFormTest)
#include "fuse_form_test.moc"
