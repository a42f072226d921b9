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
