// A drop target in a process of its own for the drag-out test: a window titled
// "drop-target" at the place given (x y width height) that takes any drop, writes what it
// got into the folder given ("data.png" from image/png, "file.png" a copy of the first
// dropped local file, "formats.txt" the offered types) and ends.
//   drop_target <folder> <x> <y> <width> <height>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class Target final : public QWidget {
public:
    explicit Target(QString folder) : folder_(std::move(folder)) {
        setWindowTitle(QStringLiteral("drop-target"));
        setAcceptDrops(true);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::darkGreen);
        setPalette(p);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* e) override { e->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* e) override { e->acceptProposedAction(); }
    void dropEvent(QDropEvent* e) override {
        const QMimeData* data = e->mimeData();
        bool ok = Write(folder_ + "/formats.txt", data->formats().join('\n').toUtf8() + '\n');
        if (data->hasFormat(QStringLiteral("image/png")))
            ok &= Write(folder_ + "/data.png", data->data(QStringLiteral("image/png")));
        const QList<QUrl> urls = data->urls();
        if (!urls.isEmpty() && urls.first().isLocalFile()) {
            QFile::remove(folder_ + "/file.png");
            ok &= QFile::copy(urls.first().toLocalFile(), folder_ + "/file.png");
            ok &= Write(folder_ + "/name.txt", urls.first().fileName().toUtf8() + '\n');
        }
        e->acceptProposedAction();
        std::fprintf(stderr, "drop-target: %s\n", ok ? "dropped" : "could not write");
        QApplication::exit(ok ? 0 : 1);
    }

private:
    QString folder_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: drop_target <folder> <x> <y> <width> <height>\n");
        return 2;
    }
    Target target(QString::fromLocal8Bit(argv[1]));
    target.setGeometry(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
    target.show();
    return app.exec();
}
