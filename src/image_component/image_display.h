// The widget that shows the control's image, shrunk to fit and centred.
#pragma once

#include <QImage>
#include <QWidget>

namespace velmar::image_component {

class ImageDisplay final : public QWidget {
    Q_OBJECT
  public:
    explicit ImageDisplay(QWidget* parent = nullptr);

    void showImage(const QImage& image);
    [[nodiscard]] const QImage& shownImage() const { return shown_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage shown_;
};

// Where an image of the given size is drawn inside an area: shrunk to fit with its
// proportions kept (never enlarged) and centred.
[[nodiscard]] QRect fittedRect(QSize imageSize, QRect area);

}  // namespace velmar::image_component
