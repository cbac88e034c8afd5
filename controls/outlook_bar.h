// OutlookBar: a vertical panel of group buttons; the open group's icon items
// are shown with captions below its button and the other buttons are stacked
// at the bottom. Layout and hit testing live in outlook_bar_logic.h.
#pragma once

#include <QFont>
#include <QPixmap>
#include <QWidget>

#include <deque>
#include <memory>

#include "outlook_bar_logic.h"

class QLineEdit;

namespace kelp {

class OutlookBar;

class OutlookItem {
  public:
    explicit OutlookItem(OutlookBar* bar) : bar_(bar) {}
    QString Caption() const { return caption_; }
    void setCaption(const QString& c);
    QPixmap Icon() const { return icon_; }
    void setIcon(const QPixmap& p);
    QPixmap SelectedIcon() const { return selectedIcon_; }
    void setSelectedIcon(const QPixmap& p) { selectedIcon_ = p; }
    QPixmap DisabledIcon() const { return disabledIcon_; }
    void setDisabledIcon(const QPixmap& p) { disabledIcon_ = p; }
    bool Enabled() const { return enabled_; }
    void setEnabled(bool e);

  private:
    OutlookBar* bar_;
    QString caption_;
    QPixmap icon_, selectedIcon_, disabledIcon_;
    bool enabled_ = true;
};

class OutlookGroup {
  public:
    OutlookGroup(OutlookBar* bar, const QString& caption) : bar_(bar), caption_(caption) {}
    QString Caption() const { return caption_; }
    void setCaption(const QString& c);
    OutlookItem& addItem(const QString& caption, const QPixmap& icon = {});
    int itemCount() const { return int(items_.size()); }
    OutlookItem& item(int i) { return items_.at(i); }
    const OutlookItem& item(int i) const { return items_.at(i); }

  private:
    OutlookBar* bar_;
    QString caption_;
    std::deque<OutlookItem> items_;  // a deque keeps references stable
};

enum FrameStyleKind { fsNone, fsLowered, fsRaised, fsSpace };

class OutlookBar : public QWidget {
    Q_OBJECT
  public:
    explicit OutlookBar(QWidget* parent = nullptr);
    ~OutlookBar() override;

    OutlookGroup& addGroup(const QString& caption);
    int groupCount() const { return int(groups_.size()); }
    OutlookGroup& group(int i) { return *groups_.at(i); }

    int SelectedButton() const { return selected_; }
    void setSelectedButton(int v);
    int SelectedIcon() const { return selectedIcon_; }
    void setSelectedIcon(int v);
    bool SmoothScrolling() const { return smooth_; }
    void setSmoothScrolling(bool v) { smooth_ = v; }
    int ScrollDelay() const { return scrollDelay_; }
    void setScrollDelay(int v) { scrollDelay_ = v; }
    int Spacing() const { return spacing_; }
    void setSpacing(int v);
    int TopSpacing() const { return topSpacing_; }
    void setTopSpacing(int v);
    bool WordWrap() const { return wordWrap_; }
    void setWordWrap(bool v);
    FrameStyleKind FrameStyle() const { return frameStyle_; }
    void setFrameStyle(FrameStyleKind f);
    QFont ButtonFont() const { return buttonFont_; }
    void setButtonFont(const QFont& f);
    QFont IconFont() const { return iconFont_; }
    void setIconFont(const QFont& f);
    QPixmap Background() const { return background_; }
    void setBackground(const QPixmap& p);
    bool AllowEditing() const { return allowEditing_; }
    void setAllowEditing(bool v) { allowEditing_ = v; }
    QColor Color() const { return color_; }
    void setColor(const QColor& c);
    // Colour of the icon captions (disabled icons keep the palette's).
    QColor IconFontColor() const { return iconFontColor_; }
    void setIconFontColor(const QColor& c);

    int scrollOffset() const { return scrollOffset_; }
    OutlookLayout currentLayout() const;
    int lastAnimationSteps() const { return animationSteps_; }
    QLineEdit* captionEditor() const { return editor_; }
    bool isEditing() const;
    QSize sizeHint() const override { return {100, 300}; }
    // The narrowest width that shows every group caption and every item
    // caption (in bold, as the selected item is drawn) without an ellipsis.
    int captionsWidth() const;

  signals:
    void OnIconClick();
    void OnIconTextClick();
    void OnChanging(bool& CanChange);
    void OnChange();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    OutlookLayout layoutFor(int group, int offset) const;
    void render(QPainter& p, const OutlookLayout& l, int group, bool itemsToo) const;
    QPixmap renderPicture(int group) const;
    void animateTo(int group);
    void completeGroupChange(int group);
    void openEditor(int item);
    void closeEditor(bool store);

    std::vector<std::unique_ptr<OutlookGroup>> groups_;
    int selected_ = -1;
    int selectedIcon_ = -1;
    bool smooth_ = true;
    int scrollDelay_ = 5;
    int spacing_ = 10;
    int topSpacing_ = 4;
    bool wordWrap_ = false;
    FrameStyleKind frameStyle_ = fsNone;
    QFont buttonFont_, iconFont_;
    QPixmap background_;
    bool allowEditing_ = false;
    QColor color_;
    QColor iconFontColor_ = Qt::white;
    int scrollOffset_ = 0;
    OutlookHit pressed_, hover_;
    bool animating_ = false;
    QPixmap frame_;  // the picture shown while animating
    int animationSteps_ = 0;
    int editCandidate_ = -1;
    int editing_ = -1;
    QLineEdit* editor_ = nullptr;
};

}  // namespace kelp
