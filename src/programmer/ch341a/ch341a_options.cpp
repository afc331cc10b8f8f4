#include "programmer/ch341a/ch341a_options.h"

#include "programmer/ch341a/ch341a_protocol.h"

#include <iterator>

namespace {

TOptionsField Note(const char* Key, const char* Text) {
    return {TOptionsField::of_Note, Key, Text, {}, {}};
}

} // namespace

TOptionsForm Ch341OptionsForm(const std::vector<TUsbDeviceInfo>& Boards, const TCh341Options& Present) {
    TOptionsField board{
        TOptionsField::of_List, "board", "", {{"The first CH341A found", ""}}, Present.UsbPath};
    bool listed = Present.UsbPath.empty();
    for (const auto& b : Boards) {
        board.Choices.push_back({UsbPlaceName(b.Path), b.Path});
        listed = listed || b.Path == Present.UsbPath;
    }
    if (!listed) board.Choices.push_back({Present.UsbPath + " (not plugged in)", Present.UsbPath});

    // The fastest setting that does not exceed the chosen speed.
    TOptionsField speed{TOptionsField::of_Radio, "speed", "", {}, std::to_string(Ch341::I2CSpeedsKHz[0])};
    for (int kHz : Ch341::I2CSpeedsKHz) {
        speed.Choices.push_back({std::to_string(kHz) + " kHz", std::to_string(kHz)});
        if (kHz <= Present.I2CSpeedKHz) speed.Value = std::to_string(kHz);
    }

    TOptionsForm form;
    form.Title = "CH341A Configuration";
    form.Groups = {
        {"USB Programmer",
         {board, Note("board-note",
                      "With several CH341A boards plugged in, choose one by the USB port it sits in.")}},
        {"I2C Clock Speed",
         {speed,
          Note("speed-note",
               "24C devices only. Slow down for old parts and for A, AA or LC parts at low voltage.")}},
        {"Device Timing",
         {{TOptionsField::of_Number, "time", "EEPROM Write Time:", {}, std::to_string(Present.EEPROMTime)},
          Note(
              "time-note",
              "After each page or byte the programmer asks the chip until it has finished writing, and gives "
              "up after twice this time in mS plus 10 mS.\n\n( A 0 value will set the default value for the "
              "device ) ")}},
        {"",
         {Note("voltage", "Most CH341A boards drive the socket with 5 V logic: program 3.3 V parts only on a "
                          "board set to 3.3 V (see the README).")}},
    };
    return form;
}

TCh341Options Ch341OptionsChosen(const TOptionsForm& Form) {
    TCh341Options o;
    o.UsbPath = Form.Value("board");
    o.I2CSpeedKHz = static_cast<int>(Form.Number("speed", Ch341::I2CSpeedsKHz[2]));
    o.EEPROMTime = static_cast<std::uint8_t>(Form.Number("time", 0) & 0xFF);
    return o;
}
