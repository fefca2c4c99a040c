#include "app/corvalen_icon.h"

#include <QImage>
#include <QPixmap>

#include "app/corvalen_artwork.h"

namespace corvalen {

QIcon CorvalenIcon() {
  QIcon icon;
  for (int size : kIconSizes) {
    IconImage image = DrawCorvalenArtwork(size);
    const QImage view(reinterpret_cast<const uchar*>(image.pixels.data()), size, size,
                      size * 4, QImage::Format_ARGB32);
    icon.addPixmap(QPixmap::fromImage(view.copy()));
  }
  return icon;
}

}  // namespace corvalen
