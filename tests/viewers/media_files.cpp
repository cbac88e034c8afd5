#include "media_files.h"

#include <QBuffer>
#include <QImage>

#include <cmath>

namespace mediatest {

namespace {

void Put16(QByteArray& b, uint32_t v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

void Put32(QByteArray& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

QByteArray Chunk(const char* id, const QByteArray& data) {
    QByteArray c(id, 4);
    Put32(c, uint32_t(data.size()));
    c += data;
    if (data.size() % 2) c.append('\0');
    return c;
}

// LZW data of `count` pixels of palette index `index`, minimum code size 2:
// a clear code before every two pixel codes keeps every code 3 bits wide.
QByteArray LzwPixels(int count, int index) {
    QByteArray out;
    uint32_t acc = 0;
    int bits = 0;
    auto code = [&](uint32_t c) {
        acc |= c << bits;
        bits += 3;
        while (bits >= 8) {
            out.append(char(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0) code(4);  // clear
        code(uint32_t(index));
    }
    code(5);  // end of information
    if (bits) out.append(char(acc & 0xFF));
    return out;
}

}  // namespace

QByteArray TwoColorGif(int width, int height, const QList<QColor>& frames, int delay) {
    QByteArray g("GIF89a");
    Put16(g, width);
    Put16(g, height);
    g.append(char(0xF1));  // global colour table of 4 entries
    g.append('\0');
    g.append('\0');
    for (int i = 0; i < 4; ++i) {
        const QColor c = i < frames.size() ? frames[i] : QColor(Qt::black);
        g.append(char(c.red()));
        g.append(char(c.green()));
        g.append(char(c.blue()));
    }
    g += QByteArray::fromHex("21FF0B") + "NETSCAPE2.0" + QByteArray::fromHex("03010000") + '\0';
    for (int f = 0; f < frames.size(); ++f) {
        g += QByteArray::fromHex("21F904");
        g.append(char(0x01));  // transparent colour given
        Put16(g, delay);
        g.append(char(3));
        g.append('\0');
        g.append(',');
        Put16(g, 0);
        Put16(g, 0);
        Put16(g, width);
        Put16(g, height);
        g.append('\0');
        g.append(char(2));  // minimum code size
        const QByteArray data = LzwPixels(width * height, f);
        for (int at = 0; at < data.size(); at += 255) {
            const QByteArray block = data.mid(at, 255);
            g.append(char(block.size()));
            g += block;
        }
        g.append('\0');
    }
    g.append(';');
    return g;
}

QByteArray Icon(int size, const QColor& color) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ICO");
    return bytes;
}

QByteArray AniFile(const std::vector<QByteArray>& frames, uint32_t displayRate,
                   const std::vector<uint32_t>& rates, const std::vector<uint32_t>& sequence) {
    QByteArray header;
    for (uint32_t v : {36u, uint32_t(frames.size()),
                       uint32_t(sequence.empty() ? frames.size() : sequence.size()), 0u, 0u, 32u,
                       1u, displayRate, sequence.empty() ? 1u : 3u})
        Put32(header, v);
    QByteArray body = Chunk("anih", header);
    auto table = [](const std::vector<uint32_t>& values) {
        QByteArray t;
        for (uint32_t v : values) Put32(t, v);
        return t;
    };
    if (!rates.empty()) body += Chunk("rate", table(rates));
    if (!sequence.empty()) body += Chunk("seq ", table(sequence));
    QByteArray list("fram");
    for (const QByteArray& f : frames) list += Chunk("icon", f);
    body += Chunk("LIST", list);
    QByteArray file("RIFF");
    Put32(file, uint32_t(body.size() + 4));
    return file + "ACON" + body;
}

QByteArray ToneWav(int ms) {
    const int rate = 8000;
    const int samples = rate * ms / 1000;
    QByteArray pcm;
    for (int i = 0; i < samples; ++i)
        Put16(pcm, uint16_t(int16_t(8000 * std::sin(2 * M_PI * 440 * i / rate))));
    QByteArray fmt;
    Put16(fmt, 1);
    Put16(fmt, 1);
    Put32(fmt, rate);
    Put32(fmt, rate * 2);
    Put16(fmt, 2);
    Put16(fmt, 16);
    const QByteArray body = Chunk("fmt ", fmt) + Chunk("data", pcm);
    QByteArray file("RIFF");
    Put32(file, uint32_t(body.size() + 4));
    return file + "WAVE" + body;
}

}  // namespace mediatest
