// The program's Russian words: the texts its Russian-speaking users know, kept to the letter.
#include "archive/catalog.h"

namespace zarnex {

const Catalog& RussianCatalog() {
    using enum MessageId;
    static const Catalog catalog{
        {{
            {ArchiveNotFound, "Zarnex", "IMG файл по указанному пути не найден: \n\n{path}"},
            {DirectoryFileMissing, "Zarnex", "Unable to find DIR file!\n\n{path}"},
            {ArchiveOpenFailed, "Zarnex",
             "Не удаётся открыть файл: \n\n{path}\n\nI/O error: {code}"},
            {ArchiveInUse, "Zarnex", "Архив занят другой программой: \n\n{path}"},
            {DirectoryDamaged, "Zarnex",
             "Каталог IMG архива повреждён: записей больше, чем вмещает файл\n\n{path}"},
            {OutOfMemory, "Zarnex", "Недостаточно памяти для обработки IMG архива"},
            {PathIsFolder, "Zarnex", "Это папка, а не файл: \n\n{path}"},
            {NotRegularFile, "Zarnex",
             "Это не обычный файл (канал, устройство или сокет): \n\n{path}"},
            {DataFileMissing, "Zarnex",
             "{name} — каталог архива версии 1; укажите его файл данных, которого нет: "
             "\n\n{path}"},
            {ArchiveDamaged, "Zarnex",
             "IMG архив повреждён ({damage}), в него ничего не записано; записи назовёт "
             "zarnex-cli check.\n\n{path}"},
            {JournalForeign, "Zarnex",
             "Рядом с архивом лежит журнал прерванного изменения, который не подходит к архиву в "
             "нынешнем виде: архив с тех пор меняли, или журнал от другого архива. Ничего не "
             "записано. Удалите журнал, когда убедитесь, что архив в порядке:\n\n{path}"},
            {SourceOpenFailed, "Zarnex",
             "Не удаётся открыть файл: \n\n{path}\n\nI/O error: {code}"},
            {NameNotInCodePage, "Zarnex",
             "Имя файла нельзя записать в IMG архив: в нём есть знаки вне кодировки "
             "Windows-1251\n\n{path}"},
            {NameTooLong, "Zarnex",
             "Имя файла длиннее {limit} байт и не помещается в каталог IMG архива, файл не "
             "записан: \n\n{path}"},
            {SourceTooLarge, "Zarnex",
             "Файл больше 2 ГБ и не может быть записан в IMG архив: \n\n{path}"},
            {ArchiveFull, "Zarnex",
             "IMG архив не может быть больше 2 ГБ, файл в него не помещается: \n\n{path}"},
            {DiskFull, "Zarnex", "На диске не хватает места\n\nI/O error: {code}"},
            {IoError, "Zarnex", "I/O error: {code}"},
            {ImportSummary, "Zarnex", "Завершено\n\nЗаменено: {replaced}\nДобавлено: {added}"},
            {BadSourceName, "Zarnex",
             "Имя файла не годится для записи в IMG архиве: в нём есть управляющий знак, / \\ "
             "или :, или оно начинается с пробела или кончается пробелом или точкой; файл не "
             "записан: \n\n{path}"},
            {ImportStopped, "Zarnex",
             "Остановлено ошибкой\n\nЗаменено: {replaced}\nДобавлено: {added}"},
            {OverwriteQuestion, "Zarnex",
             "{path}   уже существует.\n\nЗаменить имеющийся файл\nразмер: {existing_size}b\n"
             "дата изменения: {date}\n\nИзвлекаемым файлом?\nразмер: {size}b"},
            {CreateFailedDiskFull, "Zarnex",
             "Не удаётся создать файл: \n\n{path}\n\nНа диске не хватает места\n\nI/O error: "
             "{code}"},
            {CreateFailed, "Zarnex", "Не удаётся создать файл: \n\n{path}\n\nI/O error: {code}"},
            {WriteFailedRemoved, "Zarnex",
             "{path}  записан с ошибкой {code}\n\nФайл не извлечён и удалён."},
            {WriteFailedLeft, "Zarnex",
             "{path}  записан с ошибкой {code}\n\nФайл не извлечён: он остался таким, каким его "
             "оставила прерванная запись."},
            {WrittenPastEnd, "Zarnex",
             "{path}  записан с ошибкой {code}\n\nЗапись выходит за конец IMG файла: недостающее "
             "заполнено нулями"},
            {BadEntryName, "Zarnex",
             "Имя записи в архиве не годится для файла, запись не извлечена: \n\n{name}"},
            {DamagedEntrySize, "Zarnex",
             "Запись в архиве повреждена (размер {sectors} секторов), запись не извлечена: "
             "\n\n{name}"},
            {ExtractFlushFailed, "Zarnex",
             "Не удаётся сохранить извлечённые файлы на диске: \n\n{path}\n\nI/O error: {code}"},
            {ExtractSummary, "Zarnex", "Извлечено: {count}{names}"},
            {CompactNoRoom, "Zarnex",
             "IMG архив не может быть больше 2 ГБ: для перемещения записи нет места\n\n{path}"},
            {CompactSummary, "Zarnex",
             "Сжато\n\nПеремещено записей: {moved}\nРазмер: {before} -> {after} байт"},
            {CompactStopped, "Zarnex", "Остановлено ошибкой\n\nПеремещено записей: {moved}"},
            {DeleteSummary, "Zarnex", "Удалено: {count}"},
            {RenameNotFound, "Zarnex", "В архиве нет записи с таким именем: \n\n{name}"},
            {RenameInvalid, "Zarnex",
             "Имя записи не годится: от 1 до {limit} байт в кодировке Windows-1251, без / \\ : "
             "и управляющих знаков, без пробела в начале, без пробела или точки в конце, не . и "
             "не ..\n\n{name}"},
            {RenameTaken, "Zarnex", "В архиве уже есть запись с этим именем: \n\n{name}"},
            {RenameSummary, "Zarnex", "Переименовано: {name} -> {new_name}"},
            {ChangeUndone, "Zarnex",
             "I/O error: {code}\n\nНичего не изменено: архив остался прежним."},
            {ChangeWaiting, "Zarnex",
             "I/O error: {code}\n\nИзменение прервано на полпути. Его журнал вернёт "
             "архив к прежнему виду, когда Zarnex в следующий раз будет в него записывать; до тех "
             "пор Zarnex показывает архив прежним:\n\n{path}"},
            {ChangeUnconfirmed, "Zarnex",
             "I/O error: {code}\n\nИзменение сделано, но диск его не подтвердил: "
             "отключение питания, пока система его не записала, может отменить его целиком."},
            {ReplaceQuestion, "Zarnex", "Заменить?"},
            {NotGameFileQuestion, "Zarnex",
             "{path}\n\nне является файлом GTA\nдобавить его в список?"},
            {SettingsOpenFailed, "Zarnex", "Cannot open file {path}"},
            {SettingsLineMissing, "Zarnex", "List index out of bounds ({index})"},
            {SettingsCreateFailed, "Zarnex", "Cannot create file {path}"},
            {SettingsWriteFailed, "Zarnex", "Stream write error"},
            {ApplicationError, "Zarnex", "{text}"},
            {ContentsDeleteQuestion, "Zarnex",
             "Удалить из архива записей: {count}? Их данные останутся в файле свободным местом до "
             "сжатия (Compact)."},
            {ContentsDeleteOneQuestion, "Zarnex",
             "Удалить {name} из архива? Данные записи останутся в файле свободным местом до "
             "сжатия."},
            {CheckSound, "Zarnex", "Проблем не найдено: \n\n{path}"},
            {CheckProblems, "Zarnex", "Найдено проблем: {count}\n\n{path}\n\n{text}"},
            {OpenEntryFailed, "Zarnex", "Нет программы, которая открыла бы этот файл:\n\n{path}"},
            {ReplacedLine, "", "заменено {name}"},
            {AddedLine, "", "добавлено {name}"},
            {ExtractedLine, "", "извлечено {name}"},
            {DeletedLine, "", "удалено {name}"},
            {NotFoundLine, "", "не найдено: {name}"},
            {MovedLine, "", "перемещено {name}"},
            {ContentsStatus, "",
             "Версия {version}  ·  записей: {count}  ·  {size_units}  ·  данные {live_units}  ·  "
             "пустоты {wasted_units}"},
            {ContentsStatusFiltered, "",
             "Версия {version}  ·  показано записей: {shown} из {count}  ·  {size_units}  ·  "
             "данные {live_units}  ·  пустоты {wasted_units}"},
            // The command line's own words
            {ListHeader, "", "версия {version}\tзаписей: {count}"},
            {NoEntryMatches, "", "нет записей по шаблону: {name}"},
            {NoFileMatches, "", "нет файлов по шаблону: {name}"},
            {ListReadAs, "", "список {path}: прочитан как {text}"},
            {ListInCodePage, "", "список {path}: не в UTF-8, прочитан в кодовой странице {text}"},
            {ProgressLine, "", "{index} из {count}"},
            {BoxKindError, "", "ошибка"},
            {BoxKindWarning, "", "предупреждение"},
            {BoxKindQuestion, "", "вопрос"},
            {BoxKindMessage, "", "сообщение"},
            {AnsweredByOverwrite, "", "-> да (-o)"},
            {AnsweredByNoOverwrite, "", "-> нет (-n)"},
            {AnsweredInputTaken, "",
             "-> нет (стандартный ввод занят списком; -o заменяет, -n пропускает)"},
            {AnsweredNoTerminal, "",
             "-> нет (нет терминала для вопроса; -o заменяет, -n пропускает)"},
            {AskYesNoCancel, "", "[y] да / [n] нет / [c] отмена? "},
            {AskToAllCancel, "",
             "[y] да / [n] нет / [a] да для всех / [s] нет для всех / [c] отмена? "},
            {AskYesNo, "", "[y] да / [n] нет? "},
            {PressAnyKey, "", "Нажмите любую клавишу, чтобы закрыть это окно."},
            {NoCommand, "", "не задана команда"},
            {UnknownCommand, "", "неизвестная команда: {name}"},
            {BadLanguage, "", "--lang принимает ru или en, а не '{text}'"},
            {UnknownOption, "", "неизвестный параметр '{text}'"},
            {OptionNeedsArgument, "", "параметру '{text}' нужно значение"},
            {OptionTakesNoArgument, "", "параметр '{text}' не принимает значения"},
            {OptionsExclude, "", "{name} и {new_name} исключают друг друга"},
            {NullWithoutList, "", "--null относится к спискам -T"},
            {TakesOneArchive, "", "нужен один архив"},
            {TakesArchiveAndFiles, "", "нужны архив и файлы (или -T)"},
            {TakesArchiveAndNames, "", "нужны архив и имена (или -T)"},
            {TakesArchiveAndFolder, "", "нужны архив и папка"},
            {TakesOldAndNewName, "", "нужны архив, старое имя и новое"},
            {NoSuchFolder, "", "нет такой папки: {path}"},
            {CreateExists, "", "{path} уже существует; create никогда не трогает имеющийся файл"},
            {CreateIsItsDirectory, "",
             "{path} оканчивается на .dir: архив версии 1 был бы сам своим файлом каталога"},
            {CreateFailedLine, "", "не удаётся создать {path}: I/O error: {code}"},
            {ListUnreadable, "", "не удаётся прочитать список {path}: {text}"},
            {ListTooLong, "", "он длиннее {limit} МиБ"},
            {ListTooManyItems, "", "в нём больше {limit} элементов"},
            {ListHoldsNul, "", "в нём есть байт NUL (списки через NUL читает --null)"},
            {ListLineNotUtf8, "",
             "строка {index} не в UTF-8 (список читается в UTF-8 или в UTF-16 с меткой порядка "
             "байтов)"},
            {ListNotUtf16, "", "он начинается с метки порядка байтов UTF-16, но он не в UTF-16"},
            {StandardInputName, "", "стандартный ввод"},
            {UsageHeading, "", "вызов:"},
            {HelpHint, "", "Подробнее: zarnex-cli {name} --help"},
            {HelpLanguage, "",
             "--lang ru|en задаёт язык всего, что говорит программа; без него решает первая\n"
             "заданная из переменных LANGUAGE, LC_ALL, LC_MESSAGES и LANG: русский, если она\n"
             "начинается с \"ru\", иначе английский; если не задана ни одна, язык Windows (в "
             "других\n"
             "системах английский)."},
            {HelpExitStatus, "",
             "Код завершения: 0 всё сделано; 1 команда дошла до конца, но что-то пропущено,\n"
             "отклонено или не найдено (check: найдены проблемы); 2 ошибка вызова; 3 команда не\n"
             "выполнена или остановлена (архива нет, он не читается или повреждён, остановка по\n"
             "ошибке, отмена)."},
            {ExplorerStart, "",
             "zarnex-cli читает и меняет IMG архивы GTA III, Vice City и San Andreas из\n"
             "командной строки. Откройте её в этой папке (наберите cmd в адресной строке\n"
             "Проводника) и введите, например:\n\n"
             "  zarnex-cli list gta3.img\n"
             "  zarnex-cli extract gta3.img C:\\mods *.txd\n"
             "  zarnex-cli import gta3.img *.dff\n\n"
             "zarnex-cli --help (или /?) расскажет обо всех командах. Архив, перетащенный\n"
             "на zarnex-cli.exe, будет показан списком записей."},
            {ListAbout, "",
             "Версия и число записей, затем по строке на запись в порядке каталога:\n"
             "номер, смещение и размер в секторах, имя (через табуляцию). Управляющий знак в\n"
             "имени показывается как \\xNN, обратная косая черта — как \\\\."},
            {ImportAbout, "",
             "Записать каждый файл в архив: файл, чьё имя (без учёта регистра) уже есть в архиве,\n"
             "заменяет данные этой записи, любой другой становится новой записью. Сначала идут\n"
             "файлы FILE, затем пути из каждого списка LIST. В Windows программа сама раскрывает\n"
             "* и ? в FILE."},
            {ExtractAbout, "",
             "Скопировать запись каждого имени (без учёта регистра) в папку FOLDER, которая "
             "должна\n"
             "существовать, файлом с именем записи; без NAME и без -T — все записи. NAME со *\n"
             "(любые знаки) или ? (один знак) берёт все подходящие записи; для оболочки Unix\n"
             "возьмите его в кавычки. Каждое имя без записи называется в потоке ошибок."},
            {DeleteAbout, "",
             "Удалить из каталога архива все записи каждого имени (без учёта регистра), все или "
             "ни\nодной; их секторы становятся свободным местом для следующих import и compact. "
             "Данные\nостальных записей остаются на месте. NAME может содержать * и ?, как у "
             "extract. Каждое\nимя без записи называется в потоке ошибок."},
            {RenameAbout, "",
             "Дать записи с именем OLD (без учёта регистра; из нескольких — первой в каталоге) "
             "имя\n"
             "NEW: от 1 до 23 байт в Windows-1251 (24, если меняется только регистр), без / \\ : "
             "и\nуправляющих знаков, без пробела в начале, без пробела или точки в конце, не . и "
             "не ..,\nи не имя другой записи без учёта регистра. Меняется только имя этой записи, "
             "целиком\nили никак."},
            {CreateAbout, "", "Создать пустой архив; имеющийся файл не трогается никогда."},
            {CheckAbout, "",
             "Прочитать каталог и вывести по строке на каждую проблему, называя записи: "
             "перекрытия,\n"
             "данные за концом файла или внутри каталога версии 2, смещения и размеры вне "
             "пределов,\n"
             "неполная запись в конце .dir версии 1; как предупреждения — имена, которые не\n"
             "годятся для файла, имена, повторённые без учёта регистра, и копия, оставленная\n"
             "прерванным удалением. Для исправного архива не выводит ничего."},
            {CompactAbout, "",
             "Закрыть все промежутки: записи встают подряд в порядке своих данных, их байты, "
             "имена,\n"
             "порядок и число записей не меняются, а файл данных обрезается по новому концу.\n"
             "Работает на месте и безопасно при отключении питания в любой момент. Отказывается\n"
             "сжимать архив, в котором check находит повреждения."},
            {HelpOptionHelp, "", "показать эту справку"},
            {CheckQuietHelp, "",
             "не выводить строки проблем, о них скажет код завершения\n"
             "(почему архив не читается, будет сказано всё равно)"},
            {CompactQuietHelp, "", "не показывать ход работы"},
            {Version1Help, "", "версия 1: пустой ARCHIVE и пустой .dir рядом с ним"},
            {Version2Help, "", "версия 2: 8-байтный заголовок VER2 (по умолчанию)"},
            {OverwriteHelp, "", "заменять имеющиеся файлы, не спрашивая"},
            {NoOverwriteHelp, "",
             "никогда не заменять имеющиеся файлы\n"
             "(без обоих спросить в терминале, без терминала пропустить)"},
            {PathListHelp, "",
             "взять пути ещё и из списка LIST, по одному в строке; - это\n"
             "стандартный ввод (UTF-8 или UTF-16 с меткой порядка байтов;\n"
             "в Windows также кодовая страница ANSI или консоли)"},
            {NameListHelp, "",
             "взять имена ещё и из списка LIST, по одному в строке; - это\n"
             "стандартный ввод (UTF-8 или UTF-16 с меткой порядка байтов;\n"
             "в Windows также кодовая страница ANSI или консоли)"},
            {NullHelp, "", "элементы LIST оканчиваются байтом NUL (find -print0)"},
            {BatchQuietHelp, "",
             "выводить только окна сообщений: без хода работы, без строк\n"
             "-v и без строк «не найдено»"},
            {ImportVerboseHelp, "",
             "выводить строку на каждый файл: «заменено ИМЯ» или\n«добавлено ИМЯ»"},
            {ExtractVerboseHelp, "", "выводить строку на каждый файл: «извлечено ИМЯ»"},
            {DeleteVerboseHelp, "", "выводить строку на каждую запись: «удалено ИМЯ»"},
            {CompactVerboseHelp, "",
             "выводить «перемещено ИМЯ», как только перемещение записи\nна диске"},
        }},
        {"записи перекрываются", "записи выходят за конец файла", "данные лежат внутри каталога",
         "записи выходят за допустимые пределы", "файл .dir кончается неполной записью"},
        ", ",
        "Нет в архиве:",
        "… и ещё {count}",
        {{
            {Word::ContentsButton, "Записи..."},
            {Word::ChooseExtractFolder, "Выберите папку, куда извлечь файлы..."},
            {Word::FilterHint, "Фильтр: часть имени или шаблон, например *.dff или car?.txd"},
            {Word::NumberHeader, "№"},
            {Word::NameHeader, "Имя"},
            {Word::SizeHeader, "Размер"},
            {Word::TypeHeader, "Тип"},
            {Word::OffsetHeader, "Смещение"},
            {Word::SectorsHeader, "Секторы"},
            {Word::Open, "Открыть..."},
            {Word::OpenArchiveTitle, "Открыть архив"},
            {Word::Extract, "Извлечь..."},
            {Word::Delete, "Удалить"},
            {Word::Rename, "Переименовать"},
            {Word::Check, "Проверить"},
            {Word::Compact, "Сжать"},
            {Word::CopyNames, "Копировать имена"},
            {Word::DamagedNotWritten,
             "Проверка находит архив повреждённым: в него ничего не записывается, пока он не "
             "исправлен"},
            {Word::Bytes, "байт"},
            {Word::KiB, "КиБ"},
            {Word::MiB, "МиБ"},
            {Word::GiB, "ГиБ"},
            {Word::DecimalPoint, ","},
        }},
    };
    return catalog;
}

}  // namespace zarnex
