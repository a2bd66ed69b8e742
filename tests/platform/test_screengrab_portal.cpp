// The capture path in a Wayland session: what the portal's answers mean, what is done with
// the file it wrote, and which way each capture takes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "platform/screengrab_portal.h"
#include "platform/session.h"
#include "support/fakes.h"

namespace trimlet {
namespace {

using Kind = PortalAnswer::Kind;
using testing::FakeGrabber;
using testing::PatternImage;

TEST(PortalAnswers, CallErrorsThatMeanNoPortalAtAllAndThoseThatMeanAFailure) {
    const struct {
        const char* error;
        Kind kind;
    } rows[] = {
        {"org.freedesktop.DBus.Error.ServiceUnknown", Kind::NoService},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", Kind::NoService},
        {"org.freedesktop.DBus.Error.UnknownMethod", Kind::NoService},  // portal without Screenshot
        {"org.freedesktop.DBus.Error.UnknownInterface", Kind::NoService},
        {"org.freedesktop.DBus.Error.UnknownObject", Kind::NoService},
        {"org.freedesktop.DBus.Error.NoReply", Kind::Failed},            // no answer in time
        {"org.freedesktop.DBus.Error.Spawn.ChildExited", Kind::Failed},  // there, but broken
        {"org.freedesktop.DBus.Error.AccessDenied", Kind::Failed},
        {"org.freedesktop.portal.Error.NotAllowed", Kind::Failed},
        {"", Kind::Failed},
    };
    for (const auto& row : rows)
        EXPECT_EQ(KindOfCallError(QLatin1String(row.error)), row.kind) << row.error;
}

TEST(PortalAnswers, OnlyASuccessfulResponseWithALocalFileIsAPicture) {
    const struct {
        uint response;
        const char* uri;
        Kind kind;
        const char* file;
    } rows[] = {
        {0, "file:///tmp/out.png", Kind::Saved, "/tmp/out.png"},
        {0, "file:///home/u/Pictures/Screenshot%20from%202026.png", Kind::Saved,
         "/home/u/Pictures/Screenshot from 2026.png"},
        {0, "", Kind::Failed, ""},
        {0, "https://example.invalid/out.png", Kind::Failed, ""},
        {0, "/tmp/out.png", Kind::Failed, ""},  // not a URI
        {1, "file:///tmp/out.png", Kind::Refused, ""},
        {2, "file:///tmp/out.png", Kind::Failed, ""},
    };
    for (const auto& row : rows) {
        const PortalAnswer a = AnswerOfResponse(row.response, QString::fromUtf8(row.uri));
        EXPECT_EQ(a.kind, row.kind) << row.uri << " " << row.response;
        EXPECT_EQ(a.file, QString::fromUtf8(row.file)) << row.uri;
    }
}

class FakePortal final : public ScreenshotPortal {
public:
    PortalAnswer answer;
    int requests = 0;
    std::vector<int> timeouts;
    bool isPresent = true;
    StoredPermission stored = StoredPermission::Yes;
    // What the store holds after a request (none: unchanged).
    std::optional<StoredPermission> storedAfterRequest;
    PortalAnswer requestScreenshot(int timeoutMs) override {
        ++requests;
        timeouts.push_back(timeoutMs);
        if (storedAfterRequest) stored = *storedAfterRequest;
        return answer;
    }
    bool present() override { return isPresent; }
    StoredPermission storedPermission() override { return stored; }
};

struct WaylandRig {
    FakePortal portal;
    FakeGrabber compositor;
    std::vector<QString> read;
    std::vector<QString> removed;
    QImage onDisk = PatternImage(64, 48);
    WaylandScreenGrabber grabber{portal,
                                 &compositor,
                                 {[this](const QString& p) {
                                      read.push_back(p);
                                      return onDisk;
                                  },
                                  [this](const QString& p) {
                                      removed.push_back(p);
                                      return true;
                                  },
                                  {}}};
};

TEST(WaylandScreenGrabber, ASavedShotIsReadThenItsFileRemoved) {
    WaylandRig rig;
    rig.portal.answer = {Kind::Saved, QStringLiteral("/tmp/out.png")};
    const QImage shot = rig.grabber.grabDesktop();
    EXPECT_EQ(shot, rig.onDisk.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(rig.read, std::vector<QString>{"/tmp/out.png"});
    EXPECT_EQ(rig.removed, std::vector<QString>{"/tmp/out.png"});
    EXPECT_EQ(rig.compositor.grabs, 0);
    EXPECT_EQ(rig.portal.timeouts, std::vector<int>{kPortalShotMs});
}

TEST(WaylandScreenGrabber, AnUnreadableShotIsNoPictureButItsFileIsRemovedAllTheSame) {
    WaylandRig rig;
    rig.onDisk = QImage();
    rig.portal.answer = {Kind::Saved, QStringLiteral("/tmp/broken.png")};
    EXPECT_TRUE(rig.grabber.grabDesktop().isNull());
    EXPECT_EQ(rig.removed, std::vector<QString>{"/tmp/broken.png"});
    EXPECT_EQ(rig.compositor.grabs, 0);
}

TEST(WaylandScreenGrabber, RefusalOrFailureGivesNoPictureAndTouchesNoFile) {
    for (Kind kind : {Kind::Refused, Kind::Failed, Kind::TimedOut}) {
        WaylandRig rig;
        rig.compositor.screen = PatternImage(10, 10);
        rig.portal.answer = {kind, {}};
        EXPECT_TRUE(rig.grabber.grabDesktop().isNull());
        EXPECT_TRUE(rig.read.empty());
        EXPECT_TRUE(rig.removed.empty());
        EXPECT_EQ(rig.compositor.grabs, 0);  // a portal that said no is not gone round
    }
}

TEST(WaylandScreenGrabber, NoPortalAtAllFallsBackToTheCompositorsGrabWhereThereIsOne) {
    WaylandRig rig;
    rig.compositor.screen = PatternImage(30, 20);
    rig.portal.answer = {Kind::NoService, {}};
    EXPECT_EQ(rig.grabber.grabDesktop().size(), QSize(30, 20));
    EXPECT_EQ(rig.compositor.grabs, 1);

    FakePortal missing;
    missing.answer = {Kind::NoService, {}};
    WaylandScreenGrabber alone(missing, nullptr, DiskFiles());
    EXPECT_TRUE(alone.grabDesktop().isNull());
}

TEST(WaylandScreenGrabber, AskedAnewAtEachCapture) {
    // A portal missing at the first capture may have been started for the second.
    WaylandRig rig;
    rig.portal.answer = {Kind::NoService, {}};
    EXPECT_TRUE(rig.grabber.grabDesktop().isNull());
    rig.portal.answer = {Kind::Saved, QStringLiteral("/tmp/out.png")};
    EXPECT_FALSE(rig.grabber.grabDesktop().isNull());
    EXPECT_EQ(rig.portal.requests, 2);
}

TEST(WaylandScreenGrabber, OnDiskOnlyTheReturnedFileGoes) {
    QTemporaryDir dir;
    const QString shotPath = dir.filePath(QStringLiteral("Screenshot.png"));
    const QString neighbour = dir.filePath(QStringLiteral("holiday.png"));
    ASSERT_TRUE(PatternImage(40, 30).save(shotPath));
    ASSERT_TRUE(PatternImage(5, 5).save(neighbour));
    FakePortal portal;
    portal.answer = {Kind::Saved, shotPath};
    WaylandScreenGrabber grabber(portal, nullptr, DiskFiles());
    EXPECT_EQ(grabber.grabDesktop(), PatternImage(40, 30));
    EXPECT_FALSE(QFile::exists(shotPath));
    EXPECT_TRUE(QFile::exists(neighbour));
}

// Some portals save every screenshot in the user's pictures folder and fail without one:
// the folder is there for the request, and a folder made for it goes again, empty.
TEST(WaylandScreenGrabber, ThePicturesFolderIsThereForTheRequestAndOnlyWhatWasMadeGoes) {
    for (const bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "the folder existed" : "no folder");
        QTemporaryDir home;
        const QString pictures = home.filePath(QStringLiteral("Pictures"));
        if (existed) {
            ASSERT_TRUE(QDir().mkpath(pictures));
        }
        struct SavingPortal final : ScreenshotPortal {
            QString folder;
            PortalAnswer requestScreenshot(int) override {
                const QString file = folder + QStringLiteral("/Screenshot_20261208.png");
                if (!QDir(folder).exists() || !PatternImage(8, 6).save(file))
                    return {Kind::Failed, {}};
                return {Kind::Saved, file};
            }
            bool present() override { return true; }
            StoredPermission storedPermission() override { return StoredPermission::Yes; }
        } portal;
        portal.folder = pictures;
        WaylandScreenGrabber::Files files = DiskFiles();
        files.picturesFolder = [&] { return pictures; };
        WaylandScreenGrabber grabber(portal, nullptr, files);
        EXPECT_EQ(grabber.grabDesktop(), PatternImage(8, 6));
        EXPECT_EQ(QDir(pictures).exists(), existed);
        if (existed) {
            EXPECT_TRUE(QDir(pictures).isEmpty());
        }
    }
}

TEST(ScreenshotPermission, TheStoresWordForAProgramOutsideASandbox) {
    using P = StoredPermission;
    const struct {
        QMap<QString, QStringList> entry;
        P permission;
    } rows[] = {
        {{}, P::Unset},
        {{{"", {"yes"}}}, P::Yes},
        {{{"", {"no"}}}, P::No},
        {{{"", {"ask"}}}, P::Unset},
        {{{"", {}}}, P::Unset},
        {{{"org.example.Other", {"yes"}}}, P::Unset},  // another program's permission
        {{{"org.example.Other", {"no"}}, {"", {"yes", "no"}}}, P::Yes},
    };
    for (const auto& row : rows) EXPECT_EQ(PermissionOf(row.entry), row.permission);
}

// Where the portal asks the user before a screenshot, the question comes from
// askPermission (a screenshot whose picture is thrown away, given the longer wait), never
// from grabDesktop; once the store holds the permission, or once a portal that keeps none
// gave a picture, nothing asks any more.
TEST(WaylandScreenGrabber, TheQuestionBeforeTheFirstScreenshot) {
    using P = StoredPermission;
    const struct {
        const char* name;
        bool present;
        P stored;
        PortalAnswer answer;
        std::optional<P> storedAfter;
        bool wouldAsk, granted, asksAfter;
        const char* why;  // the start of the reason given
    } rows[] = {
        {"standing permission", true, P::Yes, {Kind::Saved, "/tmp/q.png"}, {},
         false, true, false, ""},
        {"no portal at all", false, P::Unset, {Kind::NoService, {}}, {}, false, true, false, ""},
        {"allowed", true, P::Unset, {Kind::Saved, "/tmp/q.png"}, P::Yes, true, true, false, ""},
        {"a portal that keeps no permission", true, P::Unset, {Kind::Saved, "/tmp/q.png"}, {},
         true, true, false, ""},
        {"refused", true, P::Unset, {Kind::Failed, {}}, P::No, true, false, true,
         "the desktop does not allow"},
        {"a standing refusal", true, P::No, {Kind::Failed, {}}, {}, true, false, true,
         "the desktop does not allow"},
        {"cancelled", true, P::Unset, {Kind::Refused, {}}, {}, true, false, true,
         "the desktop gave no"},
        {"unanswered", true, P::Unset, {Kind::TimedOut, {}}, {}, true, false, true,
         "the desktop's question about screenshots was not answered within 60 s"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WaylandRig rig;
        rig.portal.isPresent = row.present;
        rig.portal.stored = row.stored;
        rig.portal.answer = row.answer;
        rig.portal.storedAfterRequest = row.storedAfter;
        EXPECT_EQ(rig.grabber.wouldAsk(), row.wouldAsk);
        const GrabPermission permission = rig.grabber.askPermission();
        EXPECT_EQ(permission.granted, row.granted);
        EXPECT_EQ(permission.why.left(qstrlen(row.why)), QLatin1String(row.why));
        EXPECT_EQ(rig.portal.timeouts,
                  row.wouldAsk ? std::vector<int>{kPortalQuestionMs} : std::vector<int>{});
        // The question's picture is never read, but its file goes.
        EXPECT_TRUE(rig.read.empty());
        EXPECT_EQ(rig.removed.size(), row.answer.kind == Kind::Saved && row.wouldAsk ? 1u : 0u);
        EXPECT_EQ(rig.grabber.wouldAsk(), row.asksAfter);
        EXPECT_EQ(rig.compositor.grabs, 0);
    }
}

TEST(SessionScreenGrabber, TheSessionIsAskedAtEachCapture) {
    FakeGrabber wayland, direct;
    wayland.screen = PatternImage(3, 3);
    direct.screen = PatternImage(4, 4);
    bool waylandSession = false;
    SessionScreenGrabber grabber([&] { return waylandSession; }, wayland, direct);
    EXPECT_EQ(grabber.grabDesktop().size(), QSize(4, 4));
    waylandSession = true;
    EXPECT_EQ(grabber.grabDesktop().size(), QSize(3, 3));
    EXPECT_EQ(wayland.grabs, 1);
    EXPECT_EQ(direct.grabs, 1);
}

TEST(Session, WaylandByTheDisplaySocketOrTheSessionType) {
    const struct {
        const char* display;
        const char* type;
        bool wayland;
    } rows[] = {
        {"wayland-0", "", true}, {"wayland-1", "x11", true},  // the socket decides
        {"", "wayland", true},   {"", "Wayland", true},      {"", "x11", false},
        {"", "", false},         {"", "tty", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsWaylandSession(QLatin1String(row.display), QLatin1String(row.type)),
                  row.wayland)
            << row.display << "/" << row.type;
}

TEST(Session, OnlyTheWaylandPluginWaitsForTheFocusAndKnowsNoWindowPosition) {
    for (const char* name : {"wayland", "wayland-egl"}) {
        EXPECT_TRUE(ClipboardNeedsFocus(QLatin1String(name))) << name;
        EXPECT_FALSE(WindowPositionKnown(QLatin1String(name))) << name;
    }
    for (const char* name : {"xcb", "offscreen"}) {  // xcb also inside a Wayland session
        EXPECT_FALSE(ClipboardNeedsFocus(QLatin1String(name))) << name;
        EXPECT_TRUE(WindowPositionKnown(QLatin1String(name))) << name;
    }
}

TEST(DBusScreenshotPortal, NoSessionBusMeansNoPortal) {
    // A process without a session bus can reach no portal; the capture must not wait.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/trimlet-test-bus");
    DBusScreenshotPortal portal;
    EXPECT_EQ(portal.requestScreenshot(2000).kind, Kind::NoService);
    EXPECT_FALSE(portal.present());
    EXPECT_EQ(portal.storedPermission(), StoredPermission::Unset);
}

}  // namespace
}  // namespace trimlet
