#include "app/LabelFit.h"

#include <QLabel>
#include <algorithm>
#include <vector>

namespace app {

void FitLabelsBesideControls(QWidget* parent, int gapPixels) {
    std::vector<QRect> controls;
    std::vector<QLabel*> labels;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        auto* label = qobject_cast<QLabel*>(child);
        if (!child->objectName().isEmpty()) {
            controls.push_back(child->geometry());
        } else if (label && (label->alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignLeft) {
            labels.push_back(label);
        }
    }
    for (QLabel* label : labels) {
        const QRect box = label->geometry();
        const int textLeft = box.left();
        const int textRight = textLeft + label->fontMetrics().horizontalAdvance(label->text());
        int rightLimit = parent->width();
        int leftLimit = 0;
        for (const QRect& control : controls) {
            if (control.bottom() < box.top() || control.top() > box.bottom()) {
                continue;
            }
            if (control.left() > textLeft) {
                rightLimit = std::min(rightLimit, control.left());
            } else if (control.right() < textLeft) {
                leftLimit = std::max(leftLimit, control.right() + 1);
            }
        }
        const int overrun = textRight + gapPixels - rightLimit;
        if (overrun <= 0) {
            continue;
        }
        const int left = std::max(leftLimit + gapPixels, textLeft - overrun);
        label->setGeometry(left, box.top(), rightLimit - left, box.height());
    }
}

} // namespace app
