// Build step: decodes each picture the window shows at start and writes its
// pixels in the form a raster pixmap keeps them (32-bit, premultiplied when
// the picture has transparency), so that the window uses them in place at
// start instead of decoding GIF, JPEG or PNG. The same decoder as at run
// time, so the pixels are those the window used to decode itself.
//
// Usage: mnemora-prepare-pictures output-folder table.cpp picture...
// Each output file is named as its picture and holds the header of
// PreparedPicture.h followed by the rows. table.cpp compiles them into the
// program's read-only data (the assembler's .incbin, aligned) and lists them
// as PreparedPictures.

#include "PreparedPicture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <cstdint>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: mnemora-prepare-pictures output-folder table.cpp picture...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    // The file names go into the table as C++ and assembler strings: only
    // plain names are accepted, so no quoting is ever needed.
    const auto plain = [](const QString &text) {
        for (const QChar c : text)
            if (c.unicode() < 0x20 || c.unicode() > 0x7E || c == QLatin1Char('"') || c == QLatin1Char('\\'))
                return false;
        return true;
    };
    QString data;
    QString table;
    QString list;
    for (int i = 3; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        QImage image(path);
        if (image.isNull()) {
            std::fprintf(stderr, "mnemora-prepare-pictures: cannot decode %s\n", argv[i]);
            return 1;
        }
        const bool alpha = image.hasAlphaChannel();
        image = std::move(image).convertToFormat(mnemora::PreparedFormat(alpha));
        const mnemora::PreparedHeader header{mnemora::PreparedMagic, static_cast<quint32>(image.width()),
            static_cast<quint32>(image.height()), static_cast<quint32>(image.bytesPerLine()),
            image.hasAlphaChannel() ? 1U : 0U};
        QFile out(folder + QLatin1Char('/') + QFileInfo(path).fileName());
        if (!out.open(QIODevice::ReadWrite | QIODevice::Truncate)
            || out.write(reinterpret_cast<const char *>(&header), sizeof header) != sizeof header
            || out.write(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes())
                != image.sizeInBytes()
            || !out.flush()) {
            std::fprintf(stderr, "mnemora-prepare-pictures: cannot write %s\n", qPrintable(out.fileName()));
            return 1;
        }
        const QString name = QFileInfo(path).fileName();
        const QString written = QFileInfo(out).absoluteFilePath();
        if (!plain(name) || !plain(written)) {
            std::fprintf(stderr, "mnemora-prepare-pictures: %s: unusual characters in a path\n", argv[i]);
            return 1;
        }
        // The table names each picture's content too: a compiler cache keys
        // on this source, never on the files the assembler reads.
        const QByteArray bytes = (out.seek(0), out.readAll());
        std::uint64_t hash = 0xcbf29ce484222325U; // FNV-1a, 64 bits
        for (const char byte : bytes)
            hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3U;
        const QString label = QStringLiteral("mnemora_prepared_%1").arg(i - 3);
        data += QStringLiteral("    \".globl %1\\n.hidden %1\\n.balign 64\\n%1:\\n\"\n"
                               "    \".incbin \\\"%2\\\"\\n\"\n")
                    .arg(label, written);
        table
            += QStringLiteral("extern \"C\" const uchar %1[]; // %2: FNV-1a %3\n").arg(label, name).arg(hash);
        list += QStringLiteral("    {\"%1\", %2, %3},\n").arg(name, label).arg(out.size());
    }
    const QByteArray text
        = QStringLiteral("// Written by mnemora-prepare-pictures; do not edit.\n"
                         "#include \"PreparedPicture.h\"\n\n#include <iterator>\n\n"
                         "asm(\".section .rodata.mnemora_prepared,\\\"a\\\",@progbits\\n\"\n"
                         "%1    \".previous\");\n\n"
                         "namespace mnemora {\n\n%2\n"
                         "const PreparedPictureData PreparedPictures[] = {\n%3};\n"
                         "const std::size_t PreparedPictureCount = std::size(PreparedPictures);\n\n"
                         "} // namespace mnemora\n")
              .arg(data, table, list)
              .toUtf8();
    QFile source(QString::fromLocal8Bit(argv[2]));
    if (!source.open(QIODevice::WriteOnly | QIODevice::Truncate) || source.write(text) != text.size()
        || !source.flush()) {
        std::fprintf(stderr, "mnemora-prepare-pictures: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
