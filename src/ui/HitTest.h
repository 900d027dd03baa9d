#pragma once
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>
#include <span>
#include <string_view>

#include "Win32Names.h"

// Answers of the caption hit test, as the window system numbers them
// (HTCLIENT, HTCAPTION, HTLEFT to HTBOTTOMRIGHT: the platform's names).
using EHitTest = int;

// Where a press at APoint (client coordinates) acts on a frameless window:
// the size box edges resize it (not when maximised), the caption rectangle
// drags it unless the control under the point keeps its clicks, the rest is
// client area. The caption rectangle is given as left inset, top, right
// inset, bottom; strClass is the class of the control under the point, empty
// when there is none.
struct CHitTestInput {
    QPoint APoint;
    QRect AClient;
    QMargins ASizeBox;
    QMargins ACaption;
    bool bZoomed = false;
    QString strClass;
};
int CalcHitTest(const CHitTestInput& AInput, std::span<const std::string_view> aKeepClicks);
