#include "content_viewer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLibraryInfo>
#include <QMediaDevices>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QMovie>
#include <QPainter>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVideoSink>
#include <QVideoWidget>

#include <algorithm>

#include "rtf_reader.h"

namespace kelp::media {

namespace {

struct ButtonLook {
    const char* tip;
    QStyle::StandardPixmap icon;
};

const ButtonLook kButtons[kPlayerButtons] = {
    {"Play", QStyle::SP_MediaPlay},
    {"Pause", QStyle::SP_MediaPause},
    {"Stop", QStyle::SP_MediaStop},
    {"Next", QStyle::SP_MediaSkipForward},
    {"Previous", QStyle::SP_MediaSkipBackward},
    {"Step", QStyle::SP_MediaSeekForward},
    {"Back", QStyle::SP_MediaSeekBackward},
    {"Record", QStyle::SP_DialogYesButton},
    {"Eject", QStyle::SP_ArrowUp},
};

// Record and eject have nothing to act on for a file being viewed.
constexpr unsigned kMeaningless = (1u << btRecord) | (1u << btEject);

// The shortest step of an animated cursor, so that a rate of 0 does not spin.
constexpr int kShortestStepMs = 10;

QLabel* Child(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->resize(200, 200);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// Qt's FFmpeg media backend decodes through libavcodec, which Qt Multimedia
// needs anyway; the GStreamer backend needs further plug-in packages even for
// a WAV file. Prefer FFmpeg unless the user chose a backend.
void PreferFfmpegBackend() {
    if (!qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) return;
    const QString plugin =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/multimedia/libffmpegmediaplugin.so";
    if (QFileInfo::exists(plugin)) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

}  // namespace

Viewer::Viewer(QWidget* parent) : QWidget(parent) {
    PreferFfmpegBackend();  // before the first media object
    resize(200, 220);
    picture_ = Child(this, "picture");
    animated_ = Child(this, "animatedImage");
    gif_ = Child(this, "gifAnimator");
    text_ = new QTextEdit(this);
    text_->setAccessibleName("Text");
    text_->setObjectName("text");
    text_->setReadOnly(true);
    text_->hide();

    bar_ = new QWidget(this);
    bar_->setObjectName("playerBar");
    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int b = 0; b < kPlayerButtons; ++b) {
        buttons_[b] = new QToolButton(bar_);
        buttons_[b]->setToolTip(kButtons[b].tip);
        buttons_[b]->setIcon(style()->standardIcon(kButtons[b].icon));
        buttons_[b]->setAutoRaise(false);
        connect(buttons_[b], &QToolButton::clicked, this,
                [this, b] { ButtonClicked(PlayerButton(b)); });
        row->addWidget(buttons_[b]);
    }
    bar_->hide();

    aniTimer_ = new QTimer(this);
    aniTimer_->setSingleShot(true);
    connect(aniTimer_, &QTimer::timeout, this, &Viewer::ShowAniStep);

    ApplyController();
    bar_->hide();  // the bar shows with a sound or a video
    picture_->hide();
    animated_->hide();
    gif_->hide();
}

Viewer::~Viewer() {
    if (player_) player_->stop();
}

void Viewer::MakePlayer() {
    // The media backend loads its codec libraries (many megabytes) with the
    // first media object, so the player is made when a sound or video first
    // needs it rather than with every window that holds a viewer.
    if (player_) return;
    video_ = new QVideoWidget(this);
    video_->setObjectName("videoDisplay");
    video_->hide();
    video_->lower();
    player_ = new QMediaPlayer(this);
    // Without any sound device the media back end may fail inside its audio
    // renderer; a machine without one plays the picture only.
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        audio_ = new QAudioOutput(this);
        player_->setAudioOutput(audio_);
    }
    player_->setVideoOutput(video_);
    // The video's natural size is known once its first frame is decoded. The
    // sink signals with its lock held: read the size on the next turn.
    connect(video_->videoSink(), &QVideoSink::videoSizeChanged, this, &Viewer::MediaLoaded,
            Qt::QueuedConnection);
    ApplyViewport();
}

QMediaPlayer* Viewer::player() {
    MakePlayer();
    return player_;
}

QVideoWidget* Viewer::videoDisplay() {
    MakePlayer();
    return video_;
}

void Viewer::setFileName(const QString& name) {
    if (name.isEmpty()) {
        ClearMedia();
        return;
    }
    // File names differ in case on this system: "Case.txt" is not "case.txt".
    if (name == fileName_) return;
    if (!QFileInfo(name).isFile() || !TakesExtension(LowerExtension(name), MoreTypes)) return;
    fileName_ = name;
    LoadMedia();
}

void Viewer::Reload() {
    if (fileName_.isEmpty() || !QFileInfo(fileName_).isFile()) return;
    LoadMedia();
}

void Viewer::setController(const ControllerSettings& c) {
    if (c == controller_) return;
    controller_ = c;
    ApplyController();
}

void Viewer::setViewport(const ViewportSettings& v) {
    if (v == viewport_) return;
    viewport_ = v;
    ApplyViewport();
}

void Viewer::ClearMedia() {
    if (player_) {
        player_->stop();
        player_->setSource(QUrl());
        video_->hide();
    }
    bar_->hide();
    aniTimer_->stop();
    animated_->hide();
    picture_->hide();
    if (movie_) movie_->stop();
    gif_->hide();
    text_->hide();
}

void Viewer::SetMediaType(MediaType t) {
    mediaType_ = t;
    emit OnMediaTypeChange();
    ClearMedia();
}

void Viewer::LoadMedia() {
    const QString ext = LowerExtension(fileName_);
    const MediaType type = MediaTypeOf(ext, MoreTypes);
    // Failures leave the display as ClearMedia left it; OnLoad follows in
    // every case.
    switch (type) {
        case mtPicture:
            SetMediaType(type);
            LoadPicture();
            break;
        case mtAnimation:
            SetMediaType(type);
            if (ext == ".ani")
                LoadAnimatedCursor();
            else
                LoadGif();
            break;
        case mtVideo:
        case mtSound:
            SetMediaType(type);
            LoadPlayer(type == mtVideo);
            break;
        case mtText:
            SetMediaType(type);
            LoadText();
            break;
        case mtNone:
            mediaType_ = mtNone;
            emit OnMediaTypeChange();
            break;
    }
    emit OnLoad();
}

bool Viewer::LoadPicture() {
    QImageReader reader(fileName_);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) return false;
    picture_->setPixmap(QPixmap::fromImage(image));
    picWidth_ = image.width();
    picHeight_ = image.height();
    FitPicture();
    picture_->show();
    picture_->raise();
    return true;
}

bool Viewer::LoadAnimatedCursor() {
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = file.readAll();
    AniCursor cursor;
    std::string error;
    if (!ReadAniCursor(std::vector<uint8_t>(data.begin(), data.end()), cursor, error)) return false;
    std::vector<QPixmap> frames;
    for (const auto& f : cursor.frames) {
        QImage image;
        if (!image.loadFromData(f.data(), int(f.size()), "ICO")) return false;
        frames.push_back(QPixmap::fromImage(image));
    }
    aniFrames_ = std::move(frames);
    aniSteps_ = cursor.steps;
    aniStep_ = 0;
    ShowAniStep();
    animated_->show();
    animated_->raise();
    return true;
}

void Viewer::ShowAniStep() {
    if (aniSteps_.empty()) return;
    const AniCursor::Step& s = aniSteps_[aniStep_ % aniSteps_.size()];
    animated_->setPixmap(aniFrames_[s.frame]);
    ++aniStep_;
    aniTimer_->start(std::max<int>(kShortestStepMs, int(AniIntervalMs(s.rate))));
}

int Viewer::AnimationInterval() const {
    return aniTimer_->isActive() ? aniTimer_->interval() : 0;
}

bool Viewer::LoadGif() {
    movie_ = std::make_unique<QMovie>(fileName_);
    if (!movie_->isValid() || !movie_->jumpToFrame(0)) return false;
    const QSize size = movie_->currentImage().size();
    picWidth_ = size.width();
    picHeight_ = size.height();
    gif_->setMovie(movie_.get());
    FitPicture();
    gif_->show();
    gif_->raise();
    movie_->start();
    return true;
}

bool Viewer::LoadPlayer(bool video) {
    MakePlayer();
    player_->setSource(QUrl::fromLocalFile(QFileInfo(fileName_).absoluteFilePath()));
    if (controller_.Show) {
        bar_->show();
        bar_->raise();
    }
    if (video) {
        video_->show();
        video_->lower();
    }
    player_->play();
    return player_->error() == QMediaPlayer::NoError;
}

void Viewer::MediaLoaded() {
    if (mediaType_ != mtVideo) return;
    const QSize size = video_->videoSink()->videoSize();
    if (size.isValid() && !size.isEmpty()) {
        picWidth_ = size.width();
        picHeight_ = size.height();
    }
    FitPicture();
}

bool Viewer::LoadText() {
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (IsRichText(bytes)) {
        text_->setHtml(RtfToHtml(bytes));
    } else if (LowerExtension(fileName_) == ".md" || LowerExtension(fileName_) == ".markdown") {
        text_->setMarkdown(QString::fromUtf8(bytes));
    } else {
        text_->setPlainText(QString::fromUtf8(bytes));
    }
    text_->setGeometry(rect());
    text_->show();
    text_->raise();
    return true;
}

void Viewer::FitPicture() {
    if (mediaType_ == mtPicture || mediaType_ == mtAnimation || mediaType_ == mtVideo)
        viewport_ = media::FitPicture(viewport_, picWidth_, picHeight_, width(), height());
    ApplyViewport();
}

void Viewer::ApplyViewport() {
    const QRect bounds = viewport_.Bounds();
    // Unstretched video plays at its natural size from the viewport's corner.
    if (video_)
        video_->setGeometry(viewport_.Stretch || picWidth_ == 0
                                ? bounds
                                : QRect(viewport_.Left, viewport_.Top, picWidth_, picHeight_));
    picture_->setGeometry(bounds);
    animated_->setGeometry(bounds);
    gif_->setGeometry(bounds);
    picture_->setScaledContents(viewport_.Stretch);
    gif_->setScaledContents(viewport_.Stretch);
}

void Viewer::ApplyController() {
    if (!controller_.Show) {
        bar_->hide();
        return;
    }
    for (int b = 0; b < kPlayerButtons; ++b) {
        buttons_[b]->setVisible(controller_.VisibleButtons & (1u << b));
        buttons_[b]->setEnabled((controller_.EnabledButtons & ~kMeaningless) & (1u << b));
    }
    // The bar is never narrower than its visible buttons.
    const QSize hint = bar_->sizeHint();
    bar_->setGeometry(controller_.Left, controller_.Top, std::max(controller_.Width, hint.width()),
                      std::max(controller_.Height, hint.height()));
    bar_->show();
}

void Viewer::ButtonClicked(PlayerButton b) {
    // One step: a frame of video (at its own rate, 25 per second when
    // unknown), a second of sound.
    MakePlayer();
    qint64 stepMs = 1000;
    if (mediaType_ == mtVideo) {
        const double rate = player_->metaData().value(QMediaMetaData::VideoFrameRate).toDouble();
        stepMs = rate > 0 ? qint64(1000 / rate) : 40;
    }
    switch (b) {
        case btPlay:
            player_->play();
            break;
        case btPause:
            player_->pause();
            break;
        case btStop:
            player_->stop();
            player_->setPosition(0);
            break;
        case btNext:
            player_->setPosition(player_->duration());
            break;
        case btPrev:
            player_->setPosition(0);
            break;
        case btStep:
            player_->pause();
            player_->setPosition(std::min(player_->duration(), player_->position() + stepMs));
            break;
        case btBack:
            player_->pause();
            player_->setPosition(std::max<qint64>(0, player_->position() - stepMs));
            break;
        case btRecord:
        case btEject:
            break;
    }
}

void Viewer::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (mediaType_ == mtText) text_->setGeometry(rect());
    FitPicture();
}

void Viewer::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawText(rect(), Qt::AlignCenter, Caption);
}

}  // namespace kelp::media
