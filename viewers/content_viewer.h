// The content viewer component: shows one file by its extension — a picture,
// an animated picture (GIF, animated cursor), a video or a sound with the
// player's nine-button bar, or a plain or rich text. Loading errors are
// swallowed (the display stays empty); OnLoad follows every load attempt.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <memory>
#include <vector>

#include "ani_reader.h"
#include "media_types.h"
#include "viewport_fit.h"

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QMovie;
class QTextEdit;
class QTimer;
class QToolButton;
class QVideoWidget;

namespace kelp::media {

enum PlayerButton { btPlay, btPause, btStop, btNext, btPrev, btStep, btBack, btRecord, btEject };
constexpr int kPlayerButtons = 9;

// Where and how the player's button bar shows.
struct ControllerSettings {
    bool Show = true;
    int Left = 0;
    int Top = 0;
    int Width = 40;
    int Height = 20;
    unsigned VisibleButtons = (1u << kPlayerButtons) - 1;  // bit per PlayerButton
    unsigned EnabledButtons = (1u << kPlayerButtons) - 1;
    bool operator==(const ControllerSettings&) const = default;
};

class Viewer : public QWidget {
    Q_OBJECT
  public:
    explicit Viewer(QWidget* parent = nullptr);
    ~Viewer() override;

    QString FileName() const { return fileName_; }
    // Loads `name` (see the rules in the implementation); the empty name
    // clears the display and keeps the old name.
    void setFileName(const QString& name);
    // Loads the file again: another file may have been written under its name.
    void Reload();

    ControllerSettings Controller() const { return controller_; }
    void setController(const ControllerSettings& c);
    ViewportSettings Viewport() const { return viewport_; }
    void setViewport(const ViewportSettings& v);

    // The further picture, sound, video and text types are taken too.
    bool MoreTypes = false;
    // Drawn in the middle where no content covers the viewer.
    QString Caption;

    MediaType mediaType() const { return mediaType_; }
    QSize PictureSize() const { return QSize(picWidth_, picHeight_); }
    void ClearMedia();
    void FitPicture();

    // The children, for the window and tests.
    QLabel* picture() const { return picture_; }
    QLabel* animatedImage() const { return animated_; }
    QLabel* gifAnimator() const { return gif_; }
    QTextEdit* text() const { return text_; }
    QWidget* playerBar() const { return bar_; }
    QToolButton* playerButton(PlayerButton b) const { return buttons_[b]; }
    // The player and its video display, made on first use.
    QMediaPlayer* player();
    QVideoWidget* videoDisplay();
    // The animated cursor's frame interval in milliseconds; 0 when none runs.
    int AnimationInterval() const;
    int AnimationFrameCount() const { return int(aniFrames_.size()); }

  signals:
    void OnLoad();
    void OnMediaTypeChange();

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    void LoadMedia();
    void SetMediaType(MediaType t);
    bool LoadPicture();
    bool LoadAnimatedCursor();
    bool LoadGif();
    bool LoadPlayer(bool video);
    bool LoadText();
    void ApplyViewport();
    void ApplyController();
    void ShowAniStep();
    void ButtonClicked(PlayerButton b);
    void MediaLoaded();
    void MakePlayer();

    QString fileName_;
    MediaType mediaType_ = mtNone;
    int picWidth_ = 0;
    int picHeight_ = 0;
    ControllerSettings controller_;
    ViewportSettings viewport_;

    QLabel* picture_;
    QLabel* animated_;
    QLabel* gif_;
    QTextEdit* text_;
    QWidget* bar_;
    QToolButton* buttons_[kPlayerButtons] = {};
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    QVideoWidget* video_ = nullptr;
    std::unique_ptr<QMovie> movie_;
    QTimer* aniTimer_;
    std::vector<QPixmap> aniFrames_;
    std::vector<AniCursor::Step> aniSteps_;
    size_t aniStep_ = 0;
};

}  // namespace kelp::media
