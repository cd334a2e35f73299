// util_debugMetaData: a test class for the level editor's drawing. It has no run-time
// behaviour; its members and editor statements exercise every kind of editor element.
#pragma once

#include <cstddef>

#include "core/qoList.h"
#include "object/qoClass.h"
#include "runtime/qoEnums.h"

class util_debugMetaData : public kvQuorinObject {
    QO_SCRIPT_CLASS(util_debugMetaData, kvQuorinObject)

public:
    QO_ENUM(drawingTestEnum1_t, 0, QO_ENUM_VALUES_util_debugMetaData_drawingTestEnum1_t)
    QO_ENUM(drawingTestEnum2_t, qoEnumFlagBits, QO_ENUM_VALUES_util_debugMetaData_drawingTestEnum2_t)

    struct circleInfo_t {
        QO_STRUCT(util_debugMetaData, circleInfo_t)
        QO_PROPERTIES(QO_PROPERTY(layingCircleRadius), QO_PROPERTY(standingCircleRadius),
                      QO_PROPERTY(showLayingCircleAlways))
        float layingCircleRadius = 0.0f;
        float standingCircleRadius = 0.0f;
        bool showLayingCircleAlways = false;
    };

    struct cylinderInfo_t {
        QO_STRUCT(util_debugMetaData, cylinderInfo_t)
        QO_PROPERTIES(QO_PROPERTY(radius), QO_PROPERTY(height))
        float radius = 0.0f;
        float height = 0.0f;
    };

    struct fovInfo_t {
        QO_STRUCT(util_debugMetaData, fovInfo_t)
        QO_PROPERTIES(QO_PROPERTY(fovDegrees), QO_PROPERTY(innerRadius), QO_PROPERTY(outerRadius))
        float fovDegrees = 0.0f;
        float innerRadius = 0.0f;
        float outerRadius = 0.0f;
    };

    struct lineInfo_t {
        QO_STRUCT(util_debugMetaData, lineInfo_t)
        QO_PROPERTIES(QO_PROPERTY(start), QO_PROPERTY(end))
        QO_EDITOR("line { startPoint = start; endPoint = end; color = red; dragEditable; }")
        qoVector start;
        qoVector end;
    };

    struct planeInfo_t {
        QO_STRUCT(util_debugMetaData, planeInfo_t)
        QO_PROPERTIES(QO_PROPERTY(planeNormal), QO_PROPERTY(planeDist))
        qoVector planeNormal;
        float planeDist = 0.0f;
    };

    struct arclengthInfo_t {
        QO_STRUCT(util_debugMetaData, arclengthInfo_t)
        QO_PROPERTIES(QO_PROPERTY(arclength))
        float arclength = 0.0f;
    };

    struct sectorInfo_t {
        QO_STRUCT(util_debugMetaData, sectorInfo_t)
        QO_PROPERTIES(QO_PROPERTY(radius), QO_PROPERTY(arclengthInfo))
        float radius = 0.0f;
        arclengthInfo_t arclengthInfo;
    };

    struct actionData {
        QO_STRUCT(util_debugMetaData, actionData)
        QO_PROPERTIES(QO_PROPERTY(action), QO_PROPERTY(shouldDrawArrow))
        qoEntity action;
        bool shouldDrawArrow = false;
    };

    QO_PROPERTIES(QO_PROPERTY(circleInfo), QO_PROPERTY(cylinderInfo), QO_PROPERTY(entityDef),
                  QO_PROPERTY(fovInfo), QO_PROPERTY(lines), QO_PROPERTY(alwaysShowOrienation),
                  QO_PROPERTY(planes), QO_PROPERTY(sectorInfo), QO_PROPERTY(sphereRadius),
                  QO_PROPERTY(strings), QO_PROPERTY(drawingTestEnum1),
                  QO_PROPERTY(drawingTestEnum2), QO_PROPERTY(targetEntity), QO_PROPERTY(actions),
                  QO_PROPERTY(lightEntity), QO_PROPERTY(nonLightEntity))
    QO_DECLS(QO_DECL(entityDef, ""))
    QO_EDITOR(
        "circle { radius = circleInfo.layingCircleRadius; axis = pitch; color = yellow; "
        "showAlways = circleInfo.showLayingCircleAlways; dragEditable; }",
        "circle { radius = circleInfo.standingCircleRadius; color = orange; dragEditable; }",
        "cylinder { radius = cylinderInfo.radius; height = cylinderInfo.height; color = cyan; "
        "dragEditable; }",
        "entity { entityDef = entityDef; }",
        "fov { fov = fovInfo.fovDegrees; minRange = fovInfo.innerRadius; maxRange = "
        "fovInfo.outerRadius; color = purple; dragEditable; }",
        "orientation { color = white; showAlways = alwaysShowOrienation; }",
        "foreach listItem in planes { plane { plane = ( listItem.planeNormal, listItem.planeDist ); "
        "color = blue; } }",
        "sector { radius = sectorInfo.radius; arclen = sectorInfo.arclengthInfo.arclength; axis = "
        "pitch; }",
        "sphere { radius = sphereRadius; color = green; dragEditable; }",
        "foreach listItem in strings { string { string = listItem; color = white; offset = ( 0 0 "
        "16 ); } }",
        "string { string = va( 'enum1 %d enum2 %d', drawingTestEnum1, drawingTestEnum2 ); color = "
        "gray; offset = ( 0 0 -16 ); }",
        "targetLine { target = targetEntity; color = magenta; showAlways = true; }",
        "foreach listItem in actions { targetLine { target = listItem.action; color = yellow; show "
        "= listItem.shouldDrawArrow; } }",
        "linkActionList { entityPtrs = actions[x].action; actionName = 'Link Debug Actions'; "
        "leaveSourceLinkSelected; associatedHotKey = SHIFT_J; }",
        "linkAction { entityPtr = lightEntity; actionName = 'Link Light Entity'; allowedType = "
        "'kvLight'; stopLinkActionProcessingAfterThisEntity; associatedHotKey = CTRL_J; }",
        "linkAction { entityPtr = nonLightEntity; actionName = 'Link Non-Light Entity'; "
        "allowedType = '!kvLight'; associatedHotKey = ALT_J; }")

    circleInfo_t circleInfo;
    cylinderInfo_t cylinderInfo;
    const kvDeclEntityDef* entityDef = nullptr;
    fovInfo_t fovInfo;
    qoList<lineInfo_t> lines;
    bool alwaysShowOrienation = false;
    qoList<planeInfo_t> planes;
    sectorInfo_t sectorInfo;
    float sphereRadius = 0.0f;
    qoList<qoString> strings;
    drawingTestEnum1_t drawingTestEnum1 = VALUE_1;
    drawingTestEnum2_t drawingTestEnum2 = static_cast<drawingTestEnum2_t>(0);
    qoEntity targetEntity;
    qoList<actionData> actions;
    qoEntity lightEntity;
    qoEntity nonLightEntity;
};

static_assert(sizeof(util_debugMetaData::circleInfo_t) == 12);
static_assert(sizeof(util_debugMetaData::lineInfo_t) == 24);
static_assert(sizeof(util_debugMetaData::planeInfo_t) == 16);
static_assert(sizeof(util_debugMetaData::actionData) == 8);
static_assert(offsetof(util_debugMetaData, circleInfo) == 16);
static_assert(offsetof(util_debugMetaData, cylinderInfo) == 28);
static_assert(offsetof(util_debugMetaData, entityDef) == 40);
static_assert(offsetof(util_debugMetaData, fovInfo) == 48);
static_assert(offsetof(util_debugMetaData, lines) == 64);
static_assert(offsetof(util_debugMetaData, alwaysShowOrienation) == 88);
static_assert(offsetof(util_debugMetaData, planes) == 96);
static_assert(offsetof(util_debugMetaData, sectorInfo) == 120);
static_assert(offsetof(util_debugMetaData, sphereRadius) == 128);
static_assert(offsetof(util_debugMetaData, strings) == 136);
static_assert(offsetof(util_debugMetaData, drawingTestEnum1) == 160);
static_assert(offsetof(util_debugMetaData, drawingTestEnum2) == 164);
static_assert(offsetof(util_debugMetaData, targetEntity) == 168);
static_assert(offsetof(util_debugMetaData, actions) == 176);
static_assert(offsetof(util_debugMetaData, lightEntity) == 200);
static_assert(offsetof(util_debugMetaData, nonLightEntity) == 204);
static_assert(sizeof(util_debugMetaData) == 208);
