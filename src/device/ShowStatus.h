// The status display of the device link: progress, status text and phase shown on the attached controls.
#pragma once

#include "base/Texts.h"
#include "device/ExchangeUi.h"
#include "device/ExchangeValues.h"

#include <cstdint>

namespace velda {

inline constexpr TextPair TxtConnection{"Подключение", "Connection"};
inline constexpr TextPair TxtVersionRead{"Чтение версии", "Version Read"};
inline constexpr TextPair TxtParametersRead{"Чтение параметров", "Parameters Read"};
inline constexpr TextPair TxtDataRead{"Чтение данных", "Data Read"};
inline constexpr TextPair TxtDataArchive{"Чтение архива", "Data Archive"};
inline constexpr TextPair TxtReady{"Готово", "Ready"};
inline constexpr TextPair TxtDriverNotInstalled{"Драйвер не установлен", "Driver not installed"};
inline constexpr TextPair TxtFirmwareOutdated{"Версия прошивки устарела", "Firmware version is outdated"};
inline constexpr TextPair TxtCheckConnection{"Проверьте подключение", "Check Connection"};
inline constexpr TextPair TxtLinkError{"Ошибка связи", "Link Error"};
inline constexpr TextPair TxtNoData{"Данных нет", "No Data"};
inline constexpr TextPair TxtCrcError{"Ошибка контрольной суммы", "CRC16 Error"};
inline constexpr TextPair TxtAllocationError{"Ошибка выделения памяти", "Memory allocation error"};
inline constexpr TextPair TxtTimeSet{"Время установлено успешно", "Time is successful"};
/// Instrument found but not opened for lack of permission: what to do about it. The rule path is where
/// the package installs the udev rule.
inline constexpr TextPair TxtPermissionDenied{
    "Нет доступа к прибору (USB 03eb:0203): установите правило udev /usr/lib/udev/rules.d/70-velda9.rules "
    "(входит в пакет velda9), затем отключите и снова подключите прибор; или добавьте себя в группу plugdev "
    "(sudo adduser $USER plugdev) и войдите в систему заново",
    "Permission denied opening the instrument (USB 03eb:0203): install the udev rule "
    "/usr/lib/udev/rules.d/70-velda9.rules (it comes with the velda9 package), then unplug the instrument "
    "and plug it in again; or add yourself to the plugdev group (sudo adduser $USER plugdev) and log in "
    "again"};
/// Instrument found but held by another program.
inline constexpr TextPair TxtDeviceBusy{
    "Прибор (USB 03eb:0203) занят другой программой: закройте её и повторите",
    "The instrument (USB 03eb:0203) is in use by another program: close that program and try again"};
/// The progress dialog's Cancel button reads the same in both languages.
inline constexpr TextPair TxtCancel{"Отмена", "Отмена"};

/// The status text of a status code (empty for 0 and unknown codes). For status 3 it says why an instrument
/// that is on the bus could not be opened (permission, busy) when LastLinkError tells.
[[nodiscard]] QString StatusText(std::uint8_t status);

/// The status display: caps `progress` at 100 and shows it on the gauge, then the text of `status` on
/// the label and, unless the status is 3, 4 or 5, the phase of `state`. Status 5 pauses 300 ms through
/// `sleeper` (the calling thread, which is the user-interface thread). Null controls are skipped.
/// Texts are taken in the language active now. User-interface thread only.
void ShowStatus(int &progress, std::uint8_t status, std::uint8_t state, Gauge *gauge, Dialog *dialog,
                StatusLabel *statusLabel, const Sleeper &sleeper);

} // namespace velda
