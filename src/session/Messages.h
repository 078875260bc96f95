#pragma once
// Texts of the session's message boxes, shown exactly as written.
namespace ecu::text {

inline constexpr const char* ApplicationTitle = "ЭБУ-Сканер — диагностика двигателей SOHC и DOHC";

inline constexpr const char* BrokenLinkCaption = "Нарушение связи с ЭБУ !!!";
inline constexpr const char* BrokenLinkText = "Проверте включение зажигания и кабель адаптера";

inline constexpr const char* SendFailureCaption = "Ошибка передачи";
inline constexpr const char* SendFailureText =
    "Команда не передана в ЭБУ: порт связи закрыт или не принимает данные.";

inline constexpr const char* ResetCaption = "Сброс ЭБУ !!!";
inline constexpr const char* ResetPrompt =
    "Выключите зажигание на 5 сек. и включите снова, не запуская двигатель!";
inline constexpr const char* ResetDone = "Сброс ЭБУ произведен!";
inline constexpr const char* ResetFailed = "Ошибка сброса!";

inline constexpr const char* NothingDecodedCaption = "Чтение данных из файла";
inline constexpr const char* NothingDecodedText =
    "Ни одна запись файла не расшифрована: в нём нет ответов ЭБУ двигателя %1.";
inline constexpr const char* OtherVariantFits =
    "\nЗаписи файла подходят для двигателя %1: выберите этот тип двигателя и запустите "
    "чтение снова.";

inline constexpr const char* RecordingTo = "Запись в файл ";
inline constexpr const char* PlayingFrom = "Чтение файла ";
// After the played file's name: the pace other than the recorded one, and a pause.
inline constexpr const char* PaceFastest = " ×макс";
inline constexpr const char* Paused = " — пауза";
// The progress bar's tooltip: the record under the mouse and the count.
inline constexpr const char* RecordOfCount = "Запись %1 из %2";

} // namespace ecu::text
