// The content viewer: its type table and name rules, the fit arithmetic,
// pictures, GIFs, animated cursors, text and rich text, sound and video
// loaded from generated files, and its window.
#include <QImage>
#include <QLabel>
#include <QMediaPlayer>
#include <QMovie>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QVideoWidget>

#include <gtest/gtest.h>

#include "ani_reader.h"
#include "content_viewer.h"
#include "media_files.h"
#include "mm_viewer.h"
#include "rtf_reader.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

using namespace kelp::media;

namespace {

QString Write(const fixtures::TempDir& dir, const std::string& name, const QByteArray& bytes) {
    fixtures::WriteFile(dir / name, bytes.toStdString());
    return QString::fromStdString(dir / name);
}

QString WritePicture(const fixtures::TempDir& dir, const std::string& name, int w, int h) {
    const QString path = QString::fromStdString(dir / name);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.save(path, "BMP");
    return path;
}

// The further types need the option; the empty extension passes the name
// test (";" alone occurs in the list).
TEST(MediaTypes, FurtherTypesOnlyWithTheOption) {
    EXPECT_EQ(MediaTypeOf(".png", false), mtNone);
    EXPECT_EQ(MediaTypeOf(".png", true), mtPicture);
    EXPECT_TRUE(TakesExtension(LowerExtension("/t/README"), false));
    EXPECT_EQ(LowerExtension("/t/Photo.JPG"), ".jpg");
    EXPECT_FALSE(TakesExtension(".jpeg", false));
    EXPECT_TRUE(TakesExtension(".jpeg", true));
    EXPECT_FALSE(TakesExtension(".exe", true));
}

TEST(FitPicture, LargePicturesShrinkInProportionSmallOnesKeepTheirSize) {
    const ViewportSettings start;  // (0, 20) 200 x 200, unstretched
    ViewportSettings v = FitPicture(start, 400, 100, 256, 191);
    EXPECT_EQ(v.Bounds(), QRect(0, 20, 256, 64));
    EXPECT_TRUE(v.Stretch);
    v = FitPicture(start, 100, 400, 256, 191);
    EXPECT_EQ(v.Bounds(), QRect(0, 20, 48, 191));
    v = FitPicture(v, 100, 50, 256, 191);
    EXPECT_EQ(v.Bounds(), QRect(0, 20, 100, 50));
    EXPECT_FALSE(v.Stretch);
    // A square picture, and a wide one in a wider viewer, fit whole.
    EXPECT_EQ(FitPicture(start, 300, 300, 256, 191).Bounds(), QRect(0, 20, 191, 191));
    EXPECT_EQ(FitPicture(start, 400, 300, 1000, 200).Bounds(), QRect(0, 20, 267, 200));
    // No picture: the viewport stays.
    EXPECT_EQ(FitPicture(start, 0, 0, 256, 191), start);
}

TEST(ContentViewer, PictureLoadsOnceFitsAndClearsKeepingItsName) {
    fixtures::TempDir dir;
    const QString wide = WritePicture(dir, "wide.bmp", 400, 100);
    Viewer v;
    v.resize(256, 191);
    QSignalSpy loads(&v, &Viewer::OnLoad);
    QSignalSpy kinds(&v, &Viewer::OnMediaTypeChange);
    v.setFileName(wide);
    EXPECT_EQ(v.mediaType(), mtPicture);
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(kinds.count(), 1);
    EXPECT_FALSE(v.picture()->isHidden());
    EXPECT_EQ(v.picture()->geometry(), QRect(0, 20, 256, 64));
    EXPECT_EQ(v.PictureSize(), QSize(400, 100));

    // The same name in another letter case is not loaded again.
    v.setFileName(wide.toUpper().replace(QString::fromStdString(dir.path()).toUpper(),
                                         QString::fromStdString(dir.path())));
    EXPECT_EQ(loads.count(), 1);
    // Not taken: .png without the option, a missing file.
    const QString png = QString::fromStdString(dir / "x.png");
    QImage(10, 10, QImage::Format_RGB32).save(png);
    v.setFileName(png);
    v.setFileName(QString::fromStdString(dir / "gone.bmp"));
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(v.FileName(), wide);

    // A name without an extension loads as nothing and leaves the picture.
    v.setFileName(Write(dir, "README", "text"));
    EXPECT_EQ(v.mediaType(), mtNone);
    EXPECT_EQ(loads.count(), 2);
    EXPECT_FALSE(v.picture()->isHidden());

    // The empty name clears but keeps the name: the same name again does
    // not reload.
    v.setFileName(wide);
    EXPECT_EQ(loads.count(), 3);
    v.setFileName("");
    EXPECT_TRUE(v.picture()->isHidden());
    EXPECT_EQ(v.FileName(), wide);
    v.setFileName(wide);
    EXPECT_EQ(loads.count(), 3);

    // The further types with the option; a small picture keeps its size.
    v.MoreTypes = true;
    v.setFileName(png);
    EXPECT_EQ(v.mediaType(), mtPicture);
    EXPECT_EQ(v.picture()->geometry(), QRect(0, 20, 10, 10));
    // Pictures and clearing never load the media backend: its player is
    // made for the first sound or video only.
    EXPECT_EQ(v.findChild<QMediaPlayer*>(), nullptr);
}

TEST(ContentViewer, DamagedPictureIsSwallowedAndStillRaisesOnLoad) {
    fixtures::TempDir dir;
    Viewer v;
    QSignalSpy loads(&v, &Viewer::OnLoad);
    v.setFileName(Write(dir, "bad.jpg", "not a picture at all"));
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(v.mediaType(), mtPicture);
    EXPECT_TRUE(v.picture()->isHidden());
}

TEST(ContentViewer, GifPlaysItsFramesWithTheirDelays) {
    fixtures::TempDir dir;
    const QString gif =
        Write(dir, "anim.gif", mediatest::TwoColorGif(8, 4, {Qt::red, Qt::blue}, 20));
    Viewer v;
    v.resize(256, 191);
    v.setFileName(gif);
    EXPECT_EQ(v.mediaType(), mtAnimation);
    EXPECT_FALSE(v.gifAnimator()->isHidden());
    EXPECT_EQ(v.PictureSize(), QSize(8, 4));
    QMovie* movie = v.gifAnimator()->movie();
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->frameCount(), 2);
    EXPECT_EQ(movie->state(), QMovie::Running);
    EXPECT_EQ(movie->nextFrameDelay(), 200);
}

TEST(AniReader, StepsFollowTheSequenceAndRatesAndDamageIsRefused) {
    std::vector<QByteArray> icons = {mediatest::Icon(16, Qt::red), mediatest::Icon(16, Qt::green),
                                     mediatest::Icon(16, Qt::blue)};
    auto parse = [](const QByteArray& b, AniCursor& c, std::string& e) {
        return ReadAniCursor(std::vector<uint8_t>(b.begin(), b.end()), c, e);
    };
    AniCursor c;
    std::string error;
    ASSERT_TRUE(parse(mediatest::AniFile(icons, 6, {3, 6, 9, 12}, {2, 0, 1, 0}), c, error))
        << error;
    ASSERT_EQ(c.frames.size(), 3u);
    ASSERT_EQ(c.steps.size(), 4u);
    EXPECT_EQ(c.steps[0].frame, 2u);
    EXPECT_EQ(c.steps[3].frame, 0u);
    EXPECT_EQ(c.steps[2].rate, 9u);
    // Without tables: frames in order at the default rate.
    ASSERT_TRUE(parse(mediatest::AniFile(icons, 6, {}, {}), c, error));
    EXPECT_EQ(c.steps.size(), 3u);
    EXPECT_EQ(c.steps[1].frame, 1u);
    EXPECT_EQ(c.steps[1].rate, 6u);
    EXPECT_EQ(AniIntervalMs(6), 100u);

    EXPECT_FALSE(parse(mediatest::AniFile(icons, 6, {}, {0, 5}), c, error));
    EXPECT_NE(error.find("missing frame"), std::string::npos);
    const QByteArray whole = mediatest::AniFile(icons, 6, {}, {});
    // Cut inside the frame list: the list's size leaves the file.
    EXPECT_FALSE(parse(whole.left(whole.size() - 20), c, error));
    EXPECT_FALSE(parse("RIFF\4\0\0\0ACON", c, error));
    EXPECT_FALSE(parse(QByteArray("RIFX") + whole.mid(4), c, error));
}

TEST(ContentViewer, AnimatedCursorRunsItsFramesAtItsRates) {
    fixtures::TempDir dir;
    const QString ani =
        Write(dir, "busy.ani",
              mediatest::AniFile({mediatest::Icon(32, Qt::red), mediatest::Icon(32, Qt::blue)}, 12,
                                 {}, {}));
    Viewer v;
    v.setFileName(ani);
    EXPECT_EQ(v.mediaType(), mtAnimation);
    EXPECT_FALSE(v.animatedImage()->isHidden());
    EXPECT_EQ(v.AnimationFrameCount(), 2);
    EXPECT_EQ(v.AnimationInterval(), 200);  // 12 sixtieths of a second
    EXPECT_EQ(v.animatedImage()->pixmap().size(), QSize(32, 32));
}

TEST(RtfReader, ParagraphsFormatsAndSpecialCharacters) {
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
        "{\\*\\generator Writer;}\\pard\\b Bold\\b0  plain \\i slanted\\i0\\par\n"
        "caf\\'e9 \\u8364? 5\\tab x\\line y\\par}";
    EXPECT_TRUE(IsRichText(rtf));
    EXPECT_FALSE(IsRichText("plain {\\rtf1}"));
    QTextDocument doc;
    doc.setHtml(RtfToHtml(rtf));
    const QString text = doc.toPlainText();
    EXPECT_FALSE(text.contains("Arial"));
    EXPECT_FALSE(text.contains("Writer"));
    EXPECT_FALSE(text.contains("red255"));
    EXPECT_TRUE(text.contains(QString::fromUtf8("Bold plain slanted\ncafé € 5\tx\ny")))
        << text.toStdString();
    // The first fragment is bold, the second is not, the third italic.
    QTextBlock first = doc.begin();
    auto it = first.begin();
    EXPECT_EQ(it.fragment().text(), "Bold");
    EXPECT_EQ(it.fragment().charFormat().fontWeight(), QFont::Bold);
    ++it;
    EXPECT_NE(it.fragment().charFormat().fontWeight(), QFont::Bold);
    ++it;
    EXPECT_TRUE(it.fragment().charFormat().fontItalic());
}

TEST(ContentViewer, TextCoversTheWholeViewer) {
    fixtures::TempDir dir;
    Viewer v;
    v.resize(256, 191);
    v.show();
    v.setFileName(Write(dir, "notes.txt", "first line\nsecond line\n"));
    EXPECT_EQ(v.mediaType(), mtText);
    EXPECT_FALSE(v.text()->isHidden());
    EXPECT_EQ(v.text()->geometry(), v.rect());
    EXPECT_TRUE(v.text()->isReadOnly());
    EXPECT_EQ(v.text()->toPlainText(), "first line\nsecond line\n");
    v.setFileName(Write(dir, "letter.rtf", "{\\rtf1 Dear {\\b reader}\\par}"));
    EXPECT_TRUE(v.text()->toPlainText().startsWith("Dear reader"));
    v.resize(300, 220);
    EXPECT_EQ(v.text()->geometry(), QRect(0, 0, 300, 220));
}

// Waits for the player to open its file; false when the platform could not.
bool Opened(QMediaPlayer* p) {
    (void)QTest::qWaitFor(
        [p] {
            const auto s = p->mediaStatus();
            return p->error() != QMediaPlayer::NoError || s == QMediaPlayer::LoadedMedia ||
                   s == QMediaPlayer::BufferedMedia || s == QMediaPlayer::EndOfMedia ||
                   s == QMediaPlayer::InvalidMedia;
        },
        10000);
    return p->error() == QMediaPlayer::NoError && p->mediaStatus() != QMediaPlayer::InvalidMedia &&
           p->mediaStatus() != QMediaPlayer::LoadingMedia;
}

TEST(ContentViewer, SoundShowsOnlyTheButtonBarAndPlays) {
    fixtures::TempDir dir;
    Viewer v;
    v.resize(256, 191);
    v.show();
    v.setFileName(Write(dir, "tone.wav", mediatest::ToneWav(3000)));
    EXPECT_EQ(v.mediaType(), mtSound);
    EXPECT_FALSE(v.playerBar()->isHidden());
    EXPECT_TRUE(v.videoDisplay()->isHidden());
    EXPECT_TRUE(v.picture()->isHidden());
    EXPECT_TRUE(v.playerButton(btPlay)->isEnabled());
    EXPECT_FALSE(v.playerButton(btRecord)->isEnabled());
    EXPECT_FALSE(v.playerButton(btEject)->isEnabled());
    // The bar is wide enough for its nine buttons.
    EXPECT_GE(v.playerBar()->width(), 9 * v.playerButton(btPlay)->sizeHint().width());
    if (!Opened(v.player()))
        GTEST_SKIP() << "this platform's media backend cannot open a WAV file: "
                     << v.player()->errorString().toStdString();
    EXPECT_GT(v.player()->duration(), 2500);
    EXPECT_EQ(v.player()->playbackState(), QMediaPlayer::PlayingState);
    v.playerButton(btPause)->click();
    EXPECT_EQ(v.player()->playbackState(), QMediaPlayer::PausedState);
    v.playerButton(btStep)->click();
    EXPECT_GE(v.player()->position(), 1000);
    v.playerButton(btStop)->click();
    EXPECT_EQ(v.player()->playbackState(), QMediaPlayer::StoppedState);
    // Another file closes the player.
    v.setFileName(Write(dir, "after.txt", "x"));
    EXPECT_TRUE(v.player()->source().isEmpty());
    EXPECT_TRUE(v.playerBar()->isHidden());
}

TEST(ContentViewer, VideoTakesItsNaturalSizeAndFits) {
    fixtures::TempDir dir;
    const std::string avi = dir / "clip.avi";
    const auto made = fixtures::RunShell(
        "ffmpeg -v error -f lavfi -i testsrc=size=640x480:rate=10 "
        "-t 1 -c:v mjpeg " +
        fixtures::Quote(avi));
    if (made.exitCode != 0) GTEST_SKIP() << "ffmpeg cannot make a test video: " << made.err;
    Viewer v;
    v.resize(256, 191);
    v.show();
    v.setFileName(QString::fromStdString(avi));
    EXPECT_EQ(v.mediaType(), mtVideo);
    EXPECT_FALSE(v.videoDisplay()->isHidden());
    EXPECT_FALSE(v.playerBar()->isHidden());
    if (!Opened(v.player()))
        GTEST_SKIP() << "this platform's media backend cannot open an AVI file: "
                     << v.player()->errorString().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&v] { return !v.PictureSize().isEmpty(); }, 5000));
    EXPECT_EQ(v.PictureSize(), QSize(640, 480));
    EXPECT_TRUE(v.Viewport().Stretch);
    EXPECT_EQ(v.videoDisplay()->geometry(), QRect(0, 20, 255, 191));
}

TEST(MMViewerWindow, SitsBelowTheProcessViewerAndNamesTheFile) {
    fixtures::TempDir dir;
    QWidget main;
    main.setGeometry(100, 100, 400, 300);
    main.show();
    MMViewer w;
    w.setMainWindow(&main, 193);
    w.show();
    EXPECT_EQ(w.pos(), QPoint(main.frameGeometry().right() + 1, main.frameGeometry().top() + 193));
    w.viewer()->setFileName(WritePicture(dir, "Sea View.bmp", 50, 40));
    EXPECT_EQ(w.windowTitle(), "Sea View.bmp");
}

}  // namespace
