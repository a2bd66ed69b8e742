// Our saves beside the tools people use instead, on the same pictures in the same run:
// JPEG against cjpeg -optimize, ImageMagick and vips; GIF against ffmpeg (palettegen +
// paletteuse), ImageMagick, pngquant and vips; PNG against ImageMagick and optipng -o2
// (and ours on one thread); BMP against one prepared write of the same bytes and
// ImageMagick. Tools that are not installed are left out.
//
// Pictures, each at 1920 x 1080 and 3840 x 2160: a photograph and a smooth gradient
// from Debian's wallpaper packages, a flat-colour diagram of a dozen colours drawn here,
// and eight screenshots made under Xvfb by bench/screenshots.sh from Debian programs
// (see there).
//
//   bench_encoders [--rounds N] [--sizes 1080,2160] [--pictures photo,gradient,diagram,...]
//                  [--formats jpeg,gif,png,bmp]
//
// Every tool runs once per round, in turn, so all see the same state of the machine;
// a tool's time is the minimum and the median of the rounds. Ours is the whole save
// after the dialog (cut-out, encoder, file through the program's atomic writer, which
// syncs the file and its folder); a tool is timed as a process, start included, reading
// the cheapest input it takes (PPM, or vips' own format; pngquant takes only PNG,
// stored without compression), and then its file and folder synced the same way, so
// both sides pay the same disk work. The time ratio is
// ours / peer (below 1: ours is faster), the size ratio ours / peer, PSNR is over
// R, G and B against the 24-bit picture. "mem" is the most memory our save took on top
// of what the program held, as a share of the picture's own 32-bit copy: after a save
// of a 64 x 64 piece of the same picture, so it counts the save's data rather than the
// library code a first save pages in; "cold", beside it, counts both.
#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/atomicfile.h"
#include "export/decode_util.h"
#include "export/encoders.h"
#include "export/savesequence.h"

#ifndef TRIMLET_BENCH_DIR
#define TRIMLET_BENCH_DIR "bench"
#endif

namespace {

using trimlet::ImageFormat;

const char* const kPhoto = "/usr/share/backgrounds/mate/abstract/Elephants_3840x2160.jpg";
const char* const kGradientSvg =
    "/usr/share/desktop-base/softwaves-theme/wallpaper/contents/images/%1x%2.svg";
const char* const kDesktopSvg =
    "/usr/share/desktop-base/emerald-theme/wallpaper/contents/images/%1x%2.svg";
// ImageMagick itself, not any wrapper that may stand before it on the PATH.
const char* const kConvert = "/usr/bin/convert";

std::string Quote(const QString& s) {
    // Built in place: GCC 12 at -O3 reports a false overlap (-Wrestrict) for "'" + string.
    std::string quoted = "'";
    quoted += s.toStdString();
    quoted += '\'';
    return quoted;
}

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool Have(const char* program) { return Run(std::string("command -v ") + program); }

bool WritePpm(const QImage& img, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(QStringLiteral("P6\n%1 %2\n255\n").arg(img.width()).arg(img.height()).toLatin1());
    std::vector<char> row(static_cast<std::size_t>(img.width()) * 3);
    for (int y = 0; y < img.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            row[3 * x] = static_cast<char>(qRed(src[x]));
            row[3 * x + 1] = static_cast<char>(qGreen(src[x]));
            row[3 * x + 2] = static_cast<char>(qBlue(src[x]));
        }
        if (f.write(row.data(), static_cast<qint64>(row.size())) != static_cast<qint64>(row.size()))
            return false;
    }
    return true;
}

QImage Load(const QString& path) {
    QImage img(path);
    if (img.isNull()) return {};
    if (img.hasAlphaChannel()) {  // flattened on black, as the saves ignore alpha
        QImage flat(img.size(), QImage::Format_RGB32);
        flat.fill(Qt::black);
        for (int y = 0; y < img.height(); ++y) {
            const QImage row = img.copy(0, y, img.width(), 1).convertToFormat(QImage::Format_RGB32);
            std::copy_n(reinterpret_cast<const QRgb*>(row.constScanLine(0)), img.width(),
                        reinterpret_cast<QRgb*>(flat.scanLine(y)));
        }
        return flat;
    }
    return img.convertToFormat(QImage::Format_RGB32);
}

QString FreeDisplay() {
    if (!qEnvironmentVariableIsEmpty("BENCH_DISPLAY")) return qEnvironmentVariable("BENCH_DISPLAY");
    for (int n = 99; n < 400; ++n)
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            return QStringLiteral(":%1").arg(n);
    return QStringLiteral(":99");
}

// The screenshots bench/screenshots.sh makes, by file name without ".png".
const std::array<const char*, 8> kScreenshots = {"desktop", "text",  "gtk",  "qt",
                                                 "editor",  "table", "page", "darkgtk"};

// A flat-colour diagram: boxes, arrows and labels in a dozen colours, no smoothing.
QImage Diagram(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 255));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    QFont font;
    font.setPixelSize(height / 60);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    const QColor fills[] = {QColor(0xdb, 0xea, 0xfe), QColor(0xdc, 0xfc, 0xe7),
                            QColor(0xfe, 0xf3, 0xc7), QColor(0xfc, 0xe7, 0xf3),
                            QColor(0xe0, 0xe7, 0xff)};
    const QColor lines[] = {QColor(0x1e, 0x40, 0xaf), QColor(0x16, 0x65, 0x34),
                            QColor(0x92, 0x40, 0x0e), QColor(0x9d, 0x17, 0x4d)};
    const int cols = 6, rows = 5;
    const int bw = width / (cols * 2), bh = height / (rows * 2);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const QRect box(width * c / cols + bw / 2, height * r / rows + bh / 2, bw, bh);
            p.setPen(QPen(lines[(r + c) % 4], std::max(1, height / 540)));
            p.setBrush(fills[(r * cols + c) % 5]);
            p.drawRect(box);
            p.setPen(QColor(0x11, 0x11, 0x11));
            p.drawText(box, Qt::AlignCenter, QStringLiteral("step %1.%2").arg(r + 1).arg(c + 1));
            p.setPen(QPen(QColor(0x6b, 0x72, 0x80), std::max(1, height / 1080)));
            if (c + 1 < cols)
                p.drawLine(box.right(), box.center().y(), box.right() + bw, box.center().y());
            if (r + 1 < rows)
                p.drawLine(box.center().x(), box.bottom(), box.center().x(), box.bottom() + bh);
        }
    return img;
}

// The pictures of one size, by class name; a class whose source is missing is left out.
std::map<std::string, QImage> MakePictures(int width, int height, const QDir& dir,
                                           const std::vector<std::string>& wanted) {
    std::map<std::string, QImage> out;
    const auto want = [&](const char* name) {
        return std::find(wanted.begin(), wanted.end(), name) != wanted.end();
    };
    if (want("photo")) {
        const QImage photo = Load(kPhoto);
        if (photo.isNull())
            std::printf("photo: %s missing (Debian package mate-backgrounds)\n", kPhoto);
        else
            out["photo"] =
                photo.size() == QSize(width, height)
                    ? photo
                    : photo.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const auto renderSvg = [&](const char* pattern, const QString& png) {
        const QString svg = QString::fromLatin1(pattern).arg(width).arg(height);
        if (!Run("vips copy " + Quote(svg) + " " + Quote(png))) return QImage();
        return Load(png);
    };
    if (want("gradient")) {
        const QImage g = renderSvg(kGradientSvg, dir.filePath("gradient.png"));
        if (g.isNull())
            std::printf("gradient: cannot render the softwaves wallpaper (desktop-base, vips)\n");
        else
            out["gradient"] = g;
    }
    if (want("diagram")) out["diagram"] = Diagram(width, height);
    if (std::any_of(kScreenshots.begin(), kScreenshots.end(), want)) {
        const QString wallpaper = dir.filePath("wallpaper.png");
        const QString shots = dir.filePath(QStringLiteral("shots%1").arg(height));
        if (renderSvg(kDesktopSvg, wallpaper).isNull() ||
            !Run("sh " TRIMLET_BENCH_DIR "/screenshots.sh " + FreeDisplay().toStdString() + " " +
                 std::to_string(width) + " " + std::to_string(height) + " " + Quote(shots) + " " +
                 Quote(wallpaper))) {
            std::printf("screenshots: bench/screenshots.sh failed (see BENCH_PACKAGES)\n");
        } else {
            for (const char* shot : kScreenshots) {
                if (!want(shot)) continue;
                const QImage img = Load(shots + "/" + shot + ".png");
                if (img.isNull())
                    std::printf("%s: no screenshot (see bench/screenshots.sh)\n", shot);
                else
                    out[shot] = img;
            }
        }
    }
    return out;
}

// The most memory a save takes on top of what the program held: run once in a child
// process (so buffers kept from earlier saves do not hide it), with the peak resident
// size reset at the start. It counts what the save touches; warm, run first, may page
// in the code so that only the save's data is counted.
long StatusKiB(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field)))
                .trimmed()
                .split(' ')
                .front()
                .toLong();
    return -1;
}

long ExtraPeakKiB(const std::function<bool()>& job, const std::function<bool()>& warm) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (warm) {
            if (!warm()) _exit(1);
            malloc_trim(0);  // what the warm-up freed must not serve the save unseen
        }
        if (FILE* c = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", c);  // peak resident size := current
            std::fclose(c);
        }
        const long before = StatusKiB("VmRSS:");
        const bool ok = job();
        const long peak = StatusKiB("VmHWM:");
        const long extra = ok && before >= 0 && peak >= 0 ? peak - before : -1;
        if (write(fds[1], &extra, sizeof extra) != sizeof extra) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    long extra = -1;
    if (pid < 0 || read(fds[0], &extra, sizeof extra) != sizeof extra) extra = -1;
    close(fds[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return extra;
}

// What the atomic writer does after the bytes are written: the file and then its folder
// to the disk.
bool SyncLikeOurs(const QString& path) {
    for (const QString& p : {path, QFileInfo(path).absolutePath()}) {
        const int fd = ::open(QFile::encodeName(p).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // a folder may not sync
        ::close(fd);
        if (!ok) return false;
    }
    return true;
}

struct Job {
    Job(std::string t, QString o, std::function<bool()> r, std::function<double()> p)
        : tool(std::move(t)),
          output(std::move(o)),
          run(std::move(r)),
          psnr(std::move(p)),
          peer(tool.rfind("ours", 0) != 0) {}
    std::string tool;
    QString output;
    std::function<bool()> run;
    std::function<double()> psnr;  // NaN for a lossless file
    bool peer;                     // not ours: its file is synced after it
    std::vector<double> ms;
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double median() const {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
};

struct Group {
    explicit Group(std::string t) : title(std::move(t)) {}
    std::string title;           // "JPEG q60"
    std::vector<Job> jobs;       // ours first
    std::function<bool()> warm;  // ours on a small piece of the picture
    long oursExtraKiB = -1, oursColdKiB = -1;
};

struct Options {
    int rounds = 3;
    std::vector<int> heights = {1080, 2160};
    std::vector<std::string> pictures = {"photo", "gradient", "diagram", "desktop", "text",   "gtk",
                                         "qt",    "editor",   "table",   "page",    "darkgtk"};
    std::vector<std::string> formats = {"jpeg", "gif", "png", "bmp"};
};

std::vector<std::string> Split(const char* s) {
    std::vector<std::string> out;
    std::string cur;
    for (; *s; ++s) {
        if (*s == ',') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += *s;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

struct Verdicts {
    int met = 0, missed = 0;
    void check(bool ok, const std::string& what) {
        (ok ? met : missed)++;
        std::printf("    %-4s %s\n", ok ? "ok" : "MISS", what.c_str());
    }
};

// Our memory figures, measured for every picture before any save in this process, so
// buffers kept from earlier saves do not hide what a first save takes.
std::map<std::string, std::pair<long, long>> gExtraKiB;  // warm, cold

void Bench(const std::string& name, const QImage& picture, const QDir& dir, const Options& opt,
           Verdicts& verdicts, bool memoryOnly) {
    const QString ppm = dir.filePath("in.ppm"), vimg = dir.filePath("in.v"),
                  png = dir.filePath("in.png");
    if (!WritePpm(picture, ppm)) return;
    // BENCH_KEEP=folder keeps each input picture, for a closer look with bench_png.
    if (const QString keep = qEnvironmentVariable("BENCH_KEEP"); !keep.isEmpty() && memoryOnly)
        QFile::copy(ppm, QDir(keep).filePath(QStringLiteral("%1-%2.ppm")
                                                 .arg(QString::fromStdString(name))
                                                 .arg(picture.height())));
    const bool vips = Have("vips") && Run("vips copy " + Quote(ppm) + " " + Quote(vimg));
    const bool pngquant =
        Have("pngquant") &&
        Run((vips ? "vips pngsave " + Quote(vimg) + " " + Quote(png) + " --compression 0"
                  : std::string(kConvert) + " " + Quote(ppm) + " " + Quote(png)));
    const bool magick = QFileInfo::exists(kConvert);
    const bool cjpeg = Have("cjpeg");
    const bool ffmpeg = Have("ffmpeg");
    const bool optipng = Have("optipng");

    const auto ours = [&picture](ImageFormat f, QString out, int quality,
                                 int side = 0) {  // side: of a square piece instead
        const trimlet::PixelRect rect{0, 0, side ? side : picture.width(),
                                      side ? side : picture.height()};
        return [&picture, rect, f, out, quality] {
            const QImage block = trimlet::CutOut(picture, rect);
            const trimlet::ExportResult r = trimlet::SaveImage(out, f, block, quality);
            if (!r) std::printf("save failed: %s\n", r.error().c_str());
            return r.ok();
        };
    };
    const auto tool = [](std::string command) { return [command] { return Run(command); }; };
    const auto jpegPsnr = [&picture](QString path) {
        return [&picture, path] {
            return trimlet::testing::Psnr(
                picture, trimlet::testing::DecodeJpeg(trimlet::testing::ReadWholeFile(path)));
        };
    };
    const auto gifPsnr = [&picture](QString path) {
        return [&picture, path] {
            return trimlet::testing::Psnr(
                picture, trimlet::testing::DecodeGif(trimlet::testing::ReadWholeFile(path)).image);
        };
    };
    const auto pngPsnr = [&picture](QString path) {
        return [&picture, path] {
            return trimlet::testing::Psnr(picture,
                                          QImage(path).convertToFormat(QImage::Format_RGB32));
        };
    };
    const auto lossless = [] { return std::nan(""); };
    const auto f = [&](const char* file) { return dir.filePath(QString::fromLatin1(file)); };
    const auto want = [&](const char* format) {
        return std::find(opt.formats.begin(), opt.formats.end(), format) != opt.formats.end();
    };

    std::vector<Group> groups;
    if (want("jpeg")) {
        for (int q : {60, 90}) {
            Group g("JPEG q" + std::to_string(q));
            const std::string qs = std::to_string(q);
            const QString o = f(("ours" + qs + ".jpg").c_str());
            g.jobs.push_back({"ours", o, ours(ImageFormat::Jpeg, o, q), jpegPsnr(o)});
            g.warm = ours(ImageFormat::Jpeg, f("warm.jpg"), q, 64);
            if (cjpeg) {
                const QString c = f(("cjpeg" + qs + ".jpg").c_str());
                g.jobs.push_back(
                    {"cjpeg -optimize", c,
                     tool("cjpeg -optimize -quality " + qs + (q >= 90 ? " -sample 1x1" : "") +
                          " -outfile " + Quote(c) + " " + Quote(ppm)),
                     jpegPsnr(c)});
            }
            if (magick) {
                const QString m = f(("im" + qs + ".jpg").c_str());
                g.jobs.push_back({"ImageMagick", m,
                                  tool(std::string(kConvert) + " " + Quote(ppm) + " -quality " +
                                       qs + " " + Quote(m)),
                                  jpegPsnr(m)});
            }
            if (vips) {
                const QString v = f(("vips" + qs + ".jpg").c_str());
                g.jobs.push_back({"vips", v,
                                  tool("vips jpegsave " + Quote(vimg) + " " + Quote(v) + " --Q " +
                                       qs + " --optimize-coding"),
                                  jpegPsnr(v)});
            }
            groups.push_back(std::move(g));
        }
    }
    if (want("gif")) {
        Group g("GIF");
        const QString o = f("ours.gif");
        g.jobs.push_back({"ours", o, ours(ImageFormat::Gif, o, 0), gifPsnr(o)});
        g.warm = ours(ImageFormat::Gif, f("warm.gif"), 0, 64);
        if (ffmpeg) {
            const QString m = f("ffmpeg.gif");
            g.jobs.push_back(
                {"ffmpeg", m,
                 tool("ffmpeg -v error -y -i " + Quote(ppm) +
                      " -filter_complex \"split[a][b];[a]palettegen=stats_mode=full[p];"
                      "[b][p]paletteuse=dither=floyd_steinberg\" -frames:v 1 " +
                      Quote(m)),
                 gifPsnr(m)});
        }
        if (magick) {
            const QString m = f("im.gif");
            g.jobs.push_back({"ImageMagick", m,
                              tool(std::string(kConvert) + " " + Quote(ppm) + " " + Quote(m)),
                              gifPsnr(m)});
        }
        if (pngquant) {
            const QString m = f("pngquant.png");
            g.jobs.push_back({"pngquant (PNG8)", m,
                              tool("pngquant 256 --force --output " + Quote(m) + " " + Quote(png)),
                              pngPsnr(m)});
        }
        if (vips) {
            const QString m = f("vips.gif");
            g.jobs.push_back(
                {"vips", m, tool("vips gifsave " + Quote(vimg) + " " + Quote(m)), gifPsnr(m)});
        }
        groups.push_back(std::move(g));
    }
    if (want("png")) {
        Group g("PNG");
        const QString o = f("ours.png");
        g.jobs.push_back({"ours", o, ours(ImageFormat::Png, o, 0), pngPsnr(o)});
        g.warm = ours(ImageFormat::Png, f("warm.png"), 0, 64);
        const QString one = f("ours1.png");
        g.jobs.push_back({"ours, one thread", one,
                          [&picture, one] {
                              trimlet::AtomicFile file(one);
                              trimlet::PngOptions options;
                              options.secondThread = false;
                              return file.create() &&
                                     trimlet::EncodePng(picture, file, options).ok() &&
                                     file.commit();
                          },
                          pngPsnr(one)});
        if (magick) {
            const QString m = f("im.png");
            g.jobs.push_back({"ImageMagick", m,
                              tool(std::string(kConvert) + " " + Quote(ppm) + " " + Quote(m)),
                              lossless});
        }
        if (optipng) {
            const QString m = f("optipng.png");
            g.jobs.push_back(
                {"optipng -o2", m,
                 tool("optipng -quiet -o2 -clobber -out " + Quote(m) + " " + Quote(ppm)),
                 lossless});
        }
        groups.push_back(std::move(g));
    }
    if (want("bmp")) {
        Group g("BMP");
        const QString o = f("ours.bmp");
        g.jobs.push_back({"ours", o, ours(ImageFormat::Bmp, o, 0), lossless});
        g.warm = ours(ImageFormat::Bmp, f("warm.bmp"), 0, 64);
        // The same bytes, ready in memory, written in one call through the same kind of
        // file: what the disk and the system allow.
        auto prepared = std::make_shared<QByteArray>();
        const QString p = f("prepared.bmp");
        g.jobs.push_back({"one prepared write", p,
                          [prepared, o, p] {
                              if (prepared->isEmpty())
                                  *prepared = trimlet::testing::ReadWholeFile(o);
                              QSaveFile file(p);
                              return file.open(QIODevice::WriteOnly) &&
                                     file.write(*prepared) == prepared->size() && file.commit();
                          },
                          lossless});
        if (magick) {
            const QString m = f("im.bmp");
            g.jobs.push_back({"ImageMagick", m,
                              tool(std::string(kConvert) + " " + Quote(ppm) + " BMP3:" + Quote(m)),
                              lossless});
        }
        groups.push_back(std::move(g));
    }

    const std::string key = name + std::to_string(picture.height());
    if (memoryOnly) {
        for (Group& g : groups)
            gExtraKiB[key + g.title] = {ExtraPeakKiB(g.jobs.front().run, g.warm),
                                        ExtraPeakKiB(g.jobs.front().run, nullptr)};
        return;
    }
    for (Group& g : groups) {
        const auto it = gExtraKiB.find(key + g.title);
        if (it == gExtraKiB.end()) continue;
        g.oursExtraKiB = it->second.first;
        g.oursColdKiB = it->second.second;
    }
    // Rounds: every job once per round, in turn.
    for (int round = 0; round < opt.rounds; ++round) {
        for (Group& g : groups) {
            for (Job& j : g.jobs) {
                QElapsedTimer t;
                t.start();
                const bool ok = j.run() && (!j.peer || SyncLikeOurs(j.output));
                j.ms.push_back(ok ? static_cast<double>(t.nsecsElapsed()) / 1e6 : std::nan(""));
            }
        }
    }

    const double pictureKiB = static_cast<double>(picture.sizeInBytes()) / 1024.0;
    std::printf("\n== %s %d x %d (%d rounds)\n", name.c_str(), picture.width(), picture.height(),
                opt.rounds);
    std::printf("  %-10s %-18s %8s %8s %9s %7s %12s %12s %7s %8s\n", "format", "tool", "min ms",
                "med ms", "KiB", "PSNR", "ours/peer t", "(median)", "size", "dPSNR");
    for (const Group& g : groups) {
        const Job& o = g.jobs.front();
        const double oPsnr = o.psnr();
        const qint64 oSize = QFileInfo(o.output).size();
        std::map<std::string, double> psnrOf, ratioMed, sizeRatio;
        for (const Job& j : g.jobs) {
            const double p = j.psnr();
            const qint64 size = QFileInfo(j.output).size();
            psnrOf[j.tool] = p;
            ratioMed[j.tool] = o.median() / j.median();
            sizeRatio[j.tool] = static_cast<double>(oSize) / static_cast<double>(size);
            char psnrText[16] = "lossless";
            if (!std::isnan(p)) std::snprintf(psnrText, sizeof psnrText, "%.2f", p);
            if (&j == &o) {
                const auto share = [pictureKiB](long kib) {
                    return kib < 0 ? std::nan("") : static_cast<double>(kib) / pictureKiB;
                };
                std::printf(
                    "  %-10s %-18s %8.1f %8.1f %9lld %7s %12s %12s %7s %8s   mem %+.2f (cold "
                    "%+.2f)\n",
                    g.title.c_str(), j.tool.c_str(), j.min(), j.median(),
                    static_cast<long long>(size / 1024), psnrText, "", "", "", "",
                    share(g.oursExtraKiB), share(g.oursColdKiB));
            } else {
                char dp[16] = "";
                if (!std::isnan(p)) std::snprintf(dp, sizeof dp, "%+.2f", oPsnr - p);
                std::printf("  %-10s %-18s %8.1f %8.1f %9lld %7s %12.2f %12.2f %7.3f %8s\n",
                            g.title.c_str(), j.tool.c_str(), j.min(), j.median(),
                            static_cast<long long>(size / 1024), psnrText, o.min() / j.min(),
                            o.median() / j.median(), sizeRatio[j.tool], dp);
            }
        }
        // The figures this program is for.
        char line[200];
        if (g.title.rfind("JPEG", 0) == 0) {
            if (psnrOf.count("ImageMagick")) {
                std::snprintf(line, sizeof line, "%s %s: size <= ImageMagick (%.3f)", name.c_str(),
                              g.title.c_str(), sizeRatio["ImageMagick"]);
                verdicts.check(sizeRatio["ImageMagick"] <= 1.0, line);
                std::snprintf(line, sizeof line, "%s %s: PSNR >= ImageMagick - 0.2 dB (%+.2f)",
                              name.c_str(), g.title.c_str(), oPsnr - psnrOf["ImageMagick"]);
                verdicts.check(oPsnr >= psnrOf["ImageMagick"] - 0.2, line);
            }
            if (ratioMed.count("cjpeg -optimize")) {
                std::snprintf(line, sizeof line, "%s %s: time <= 1.3 x cjpeg -optimize (%.2f)",
                              name.c_str(), g.title.c_str(), ratioMed["cjpeg -optimize"]);
                verdicts.check(ratioMed["cjpeg -optimize"] <= 1.3, line);
            }
        } else if (g.title == "GIF") {
            double fastest = 1e300;
            for (const Job& j : g.jobs)
                if (&j != &o) fastest = std::min(fastest, j.median());
            for (const char* peer : {"ffmpeg", "ImageMagick"}) {
                if (!psnrOf.count(peer)) continue;
                std::snprintf(line, sizeof line, "%s GIF: PSNR >= %s (%+.2f)", name.c_str(), peer,
                              oPsnr - psnrOf[peer]);
                verdicts.check(oPsnr >= psnrOf[peer], line);
            }
            if (psnrOf.count("pngquant (PNG8)")) {
                std::snprintf(line, sizeof line, "%s GIF: PSNR >= pngquant - 0.3 dB (%+.2f)",
                              name.c_str(), oPsnr - psnrOf["pngquant (PNG8)"]);
                verdicts.check(oPsnr >= psnrOf["pngquant (PNG8)"] - 0.3, line);
            }
            if (sizeRatio.count("ffmpeg")) {
                std::snprintf(line, sizeof line, "%s GIF: size <= 1.05 x ffmpeg (%.3f)",
                              name.c_str(), sizeRatio["ffmpeg"]);
                verdicts.check(sizeRatio["ffmpeg"] <= 1.05, line);
            }
            if (picture.height() >= 2160 && fastest < 1e300) {
                std::snprintf(line, sizeof line,
                              "%s GIF: >= 3 x faster than the fastest peer (%.1f x)", name.c_str(),
                              fastest / o.median());
                verdicts.check(fastest >= 3 * o.median(), line);
            }
        } else if (g.title == "PNG") {
            std::snprintf(line, sizeof line, "%s PNG: lossless (PSNR %s)", name.c_str(),
                          std::isinf(oPsnr) ? "inf" : "finite");
            verdicts.check(std::isinf(oPsnr), line);
            if (sizeRatio.count("ImageMagick")) {
                std::snprintf(line, sizeof line, "%s PNG: size <= ImageMagick (%.3f)", name.c_str(),
                              sizeRatio["ImageMagick"]);
                verdicts.check(sizeRatio["ImageMagick"] <= 1.0, line);
            }
            if (sizeRatio.count("optipng -o2")) {
                std::snprintf(line, sizeof line, "%s PNG: size <= 1.05 x optipng -o2 (%.3f)",
                              name.c_str(), sizeRatio["optipng -o2"]);
                verdicts.check(sizeRatio["optipng -o2"] <= 1.05, line);
            }
            if (picture.height() >= 2160 && ratioMed.count("ImageMagick")) {
                std::snprintf(line, sizeof line,
                              "%s PNG: >= 3 x faster than ImageMagick (%.1f x; one thread %.1f x)",
                              name.c_str(), 1.0 / ratioMed["ImageMagick"],
                              ratioMed["ours, one thread"] / ratioMed["ImageMagick"]);
                verdicts.check(ratioMed["ImageMagick"] <= 1.0 / 3.0, line);
            }
        } else if (g.title == "BMP") {
            if (ratioMed.count("one prepared write")) {
                std::snprintf(line, sizeof line, "%s BMP: time <= 1.5 x one prepared write (%.2f)",
                              name.c_str(), ratioMed["one prepared write"]);
                verdicts.check(ratioMed["one prepared write"] <= 1.5, line);
            }
        }
        if (g.oursExtraKiB >= 0) {
            const double share = static_cast<double>(g.oursExtraKiB) / pictureKiB;
            std::snprintf(line, sizeof line, "%s %s: extra memory <= 1/3 picture (%.2f)",
                          name.c_str(), g.title.c_str(), share);
            verdicts.check(share <= 1.0 / 3.0, line);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Options opt;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--rounds") opt.rounds = std::max(1, std::atoi(argv[i + 1]));
        if (key == "--pictures") opt.pictures = Split(argv[i + 1]);
        if (key == "--formats") opt.formats = Split(argv[i + 1]);
        if (key == "--sizes") {
            opt.heights.clear();
            for (const std::string& s : Split(argv[i + 1])) opt.heights.push_back(std::stoi(s));
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    std::printf("peers: cjpeg %s, ImageMagick %s, ffmpeg %s, pngquant %s, vips %s\n",
                Have("cjpeg") ? "yes" : "no", QFileInfo::exists(kConvert) ? "yes" : "no",
                Have("ffmpeg") ? "yes" : "no", Have("pngquant") ? "yes" : "no",
                Have("vips") ? "yes" : "no");
    Verdicts verdicts;
    std::vector<std::pair<std::string, QImage>> all;
    for (int height : opt.heights) {
        const int width = height * 16 / 9;
        const std::map<std::string, QImage> pictures =
            MakePictures(width, height, QDir(dir.path()), opt.pictures);
        for (const std::string& name : opt.pictures) {
            const auto it = pictures.find(name);
            if (it != pictures.end() && !it->second.isNull()) all.emplace_back(name, it->second);
        }
    }
    for (const bool memoryOnly : {true, false})
        for (const auto& [name, picture] : all)
            Bench(name, picture, QDir(dir.path()), opt, verdicts, memoryOnly);
    std::printf("\n%d figures met, %d missed\n", verdicts.met, verdicts.missed);
    return 0;
}
