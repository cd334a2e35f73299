// qoComment: a designer's note placed in the map; data for the level editor only.
#pragma once

#include <cstddef>

#include "object/qoClass.h"

class qoComment : public kvQuorinObject {
    QO_SCRIPT_CLASS(qoComment, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(comment), QO_PROPERTY(alwaysShow), QO_PROPERTY(showCommentDragPoint),
                  QO_PROPERTY(commentOffset), QO_PROPERTY(commentColor),
                  QO_PROPERTY(showCommentBox), QO_PROPERTY(commentBoxSize))
    QO_EDITOR("bounds basicBounds{ bounds = ( commentOffset, commentBoxSize ); color = "
              "commentColor; show = showCommentBox; showAlways = showCommentBox; }")

public:
    qoString comment;
    bool alwaysShow = true;
    bool showCommentDragPoint = true;
    qoVector commentOffset = {20.0f, 0.0f, 40.0f};
    qoColor commentColor = {1.0f, 1.0f, 0.0f, 1.0f};
    bool showCommentBox = false;
    qoVector commentBoxSize = {256.0f, -192.0f, -64.0f};
};

static_assert(offsetof(qoComment, comment) == 16);
static_assert(offsetof(qoComment, alwaysShow) == 40);
static_assert(offsetof(qoComment, showCommentDragPoint) == 41);
static_assert(offsetof(qoComment, commentOffset) == 44);
static_assert(offsetof(qoComment, commentColor) == 56);
static_assert(offsetof(qoComment, showCommentBox) == 72);
static_assert(offsetof(qoComment, commentBoxSize) == 76);
static_assert(sizeof(qoComment) == 88);
