#include "HitTest.h"

int CalcHitTest(const CHitTestInput& AInput, std::span<const std::string_view> aKeepClicks)
{
    const int x = AInput.APoint.x();
    const int y = AInput.APoint.y();
    const QRect& rc = AInput.AClient;
    // Right and bottom are exclusive edges here, as a client rectangle's are.
    const int nRight = rc.left() + rc.width();
    const int nBottom = rc.top() + rc.height();
    const QMargins& box = AInput.ASizeBox;
    if (!AInput.bZoomed) {
        const bool bLeft = x < rc.left() + box.left();
        const bool bRight = x > nRight - box.right();
        if (y < rc.top() + box.top())
            return bLeft ? HTTOPLEFT : bRight ? HTTOPRIGHT : HTTOP;
        if (y > nBottom - box.bottom())
            return bLeft ? HTBOTTOMLEFT : bRight ? HTBOTTOMRIGHT : HTBOTTOM;
        if (bLeft)
            return HTLEFT;
        if (bRight)
            return HTRIGHT;
    }
    const QMargins& cap = AInput.ACaption;
    const bool bInCaption = x >= rc.left() + cap.left() && x < nRight - cap.right() && y >= cap.top() &&
                            y < cap.bottom();
    if (bInCaption && !AInput.strClass.isEmpty()) {
        for (std::string_view szClass : aKeepClicks)
            if (AInput.strClass.compare(QLatin1String(szClass.data(), qsizetype(szClass.size())),
                                        Qt::CaseInsensitive) == 0)
                return HTCLIENT;
        return HTCAPTION;
    }
    return HTCLIENT;
}
