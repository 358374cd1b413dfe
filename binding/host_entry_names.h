// The host's export names in the host's order, fixed by the host: every name
// and its position stay exactly as they are, spelling included, also the 171
// that the plugin binds and never calls. An entry's position in the table is
// its name's position here, found by name at compile time.
#pragma once

#include <cstddef>

namespace kelvane {

inline constexpr const char *kHostEntryNames[] = {
    // 1 to 10
    "zuGetVersionOfOndravaZU",
    "zuGetOndravaZUPath",
    "zuGetPluginsPath",
    "zuShowLogPane",
    "zuShowLogTab",
    "zuLogText",
    "zuMessageBox",
    "zuYesNoMessageBox",
    "zuGetIntegerInput",
    "zuGetFloatInput",
    // 11 to 20
    "zuGetTextInput",
    "zuGetOpenFileName",
    "zuGetSaveFileName",
    "zuPlotPoints",
    "zuAddPointsToPlot",
    "zuPlotLine",
    "zuAddLineToPlot",
    "zuPlotBars",
    "zuAddBarsToPlot",
    "zuShowPlotAtPosition",
    // 21 to 30
    "zuResizePlot",
    "zuSetBarPlotXAxisCategories",
    "zuSetPlotXAxisRange",
    "zuSetPlotYAxisRange",
    "zuSetPlotTitle",
    "zuSetPlotMarkerSizeAndColor",
    "zuSetPlotLineSizeAndColor",
    "zuSetPlotBarColors",
    "zuSetPlotFontSizes",
    "zuShowPlotLegend",
    // 31 to 40
    "zuSetPlotColorTheme",
    "zuUpdateActiveWindow",
    "zuShowBusyCursor",
    "zuStopBusyCursor",
    "zuGetNumberOfDocsInWorkspace",
    "zuGetDocumentType",
    "zuGetDocumentTypeName",
    "zuGetIDOfCurrentDocument",
    "zuSetAsCurrentDocument",
    "zuCalculateIAMatrix",
    // 41 to 50
    "zuGetTRFParametersFromVolumeToolsDlg",
    "zuGetHeaderOfCurrentFMR",
    "zuSetHeaderOfCurrentFMR",
    "zuGetSTCFloatDataOfCurrentFMR",
    "zuGetSTCIntDataOfCurrentFMR",
    "zuGetSTCDataOfCurrentFMR",
    "zuSaveFMR",
    "zuSaveFMRAndSTC",
    "zuGetScannerPositionHeaderOfCurrentFMR",
    "zuSetScannerPositionHeaderOfCurrentFMR",
    // 51 to 60
    "zuGetHeaderOfCurrentDMR",
    "zuSetHeaderOfCurrentDMR",
    "zuGetDWIFloatDataOfCurrentDMR",
    "zuGetDWIIntDataOfCurrentDMR",
    "zuGetDWIDataOfCurrentDMR",
    "zuConvertDWIFormatOfCurrentDMR",
    "zuSaveDMR",
    "zuSaveDMRAndDWI",
    "zuGetMAPOfCurrentFMR",
    "zuSetMAPParametersOfCurrentFMR",
    // 61 to 70
    "zuDeleteMAPsOfCurrentFMR",
    "zuLoadMAPsToCurrentFMR",
    "zuSaveMAPsOfCurrentFMR",
    "zuCreateMAPForCurrentFMR",
    "zuGetCurrentVMR",
    "zuGetMainHeaderOfCurrentVMR",
    "zuSetMainHeaderOfCurrentVMR",
    "zuGetScannerPositionHeaderOfCurrentVMR",
    "zuSetScannerPositionHeaderOfCurrentVMR",
    "zuGetPastTransformationsHeaderOfCurrentVMR",
    // 71 to 80
    "zuSetPastTransformationsHeaderOfCurrentVMR",
    "zuReframeCurrentVMR",
    "zuGetCrossPositionOfCurrentVMR",
    "zuGetV16OfCurrentVMR",
    "zuDetachV16FromCurrentVMR",
    "zuLoadV16ToCurrentVMR",
    "zuSaveV16OfCurrentVMR",
    "zuConvertV16ToVMR",
    "zuGetNRVMPsOfCurrentVMR",
    "zuGetNRVMPOfCurrentVMR",
    // 81 to 90
    "zuSetNRVMPParametersOfCurrentVMR",
    "zuLoadNRVMPsToCurrentVMR",
    "zuAddNRVMPsToCurrentVMR",
    "zuSaveNRVMPsOfCurrentVMR",
    "zuCreateNRVMPsForCurrentVMR",
    "zuDeleteNRVMPsOfCurrentVMR",
    "zuDeleteNRVMPMap",
    "zuSetNRVMPsParamsDisplayRange",
    "zuGetARVMPsOfCurrentVMR",
    "zuGetARVMPOfCurrentVMR",
    // 91 to 100
    "zuSetARVMPParametersOfCurrentVMR",
    "zuLoadARVMPsToCurrentVMR",
    "zuSaveARVMPsOfCurrentVMR",
    "zuCreateARVMPsForCurrentVMR",
    "zuDeleteARVMPsOfCurrentVMR",
    "zuLinkVTCToCurrentVMR",
    "zuCreateVTCForCurrentVMR",
    "zuGetHeaderOfVTCOfCurrentVMR",
    "zuSetHeaderOfVTCOfCurrentVMR",
    "zuSetVTCParametersOfCurrentVMR",
    // 101 to 110
    "zuGetVTCFloatDataOfCurrentVMR",
    "zuGetVTCIntDataOfCurrentVMR",
    "zuGetVTCOfCurrentVMR",
    "zuSaveVTCOfCurrentVMR",
    "zuClearMultiVTCAnalysis",
    "zuAddVTCRefForMultiVTCAnalysis",
    "zuGetVoxelTimeCourseOfVTC",
    "zuGetVoxelTimeCourseOfVTCs",
    "zuGetVoxelCoordsTimeCourseOfVTC",
    "zuGetVoxelCoordsTimeCourseOfVTCs",
    // 111 to 120
    "zuGetGLMOfCurrentVMR",
    "zuLoadMaskToCurrentVMR",
    "zuGetMaskOfCurrentVMR",
    "zuGetScene",
    "zuLoadSRF",
    "zuAddSRF",
    "zuRemoveCurrentSRF",
    "zuGetCurrentSRF",
    "zuReleaseSRFAccess",
    "zuSaveCurrentSRF",
    // 121 to 130
    "zuSetCurrentSRF",
    "zuGetSMPsOfCurrentSRF",
    "zuGetSMPOfCurrentSRF",
    "zuSetSMPParametersOfCurrentSRF",
    "zuLoadSMPsToCurrentSRF",
    "zuSaveSMPsOfCurrentSRF",
    "zuCreateSMPForCurrentSRF",
    "zuDeleteSMPsOfCurrentSRF",
    "zuOverlaySMPsOnSRF",
    "zuLinkMTCToCurrentSRF",
    // 131 to 140
    "zuCreateMTCForCurrentSRF",
    "zuGetMTCOfCurrentSRF",
    "zuSetMTCParametersOfCurrentSRF",
    "zuSaveMTCOfCurrentSRF",
    "zuClearMultiMTCRefsOfCurrentSRF",
    "zuAddMultiMTCRefToCurrentSRF",
    "zuGetVertexTimeCourseOfMTC",
    "zuGetVertexTimeCourseOfAllMTCs",
    "zuGetSSMOfCurrentSRF",
    "zuLoadSSMToCurrentSRF",
    // 141 to 150
    "zuSaveSSMOfCurrentSRF",
    "zuCreateSSMForCurrentSRF",
    "zuDeleteSSMOfCurrentSRF",
    "zuClearProtocol",
    "zuLoadProtocol",
    "zuSaveProtocol",
    "zuGetProtocol",
    "zuSetProtocol",
    "zuGetProtocolCondition",
    "zuAddProtocolCondition",
    // 151 to 160
    "zuAddProtocolConditionInterval",
    "zuClearDesignMatrix",
    "zuAddPredictor",
    "zuSetPredictorValuesFromCondition",
    "zuSetPredictorValuesFromConditionName",
    "zuApplyTwoGammaHRFToPredictor",
    "zuApplyTwoGammaHRFToPredictorWithName",
    "zuApplyBoyntonHRFToPredictor",
    "zuApplyBoyntonHRFToPredictorWithName",
    "zuGetPredictor",
    // 161 to 170
    "zuGetPredictorByName",
    "zuLoadSingleStudyGLMDesignMatrix",
    "zuSaveSingleStudyGLMDesignMatrix",
    "zuLoadVOIs",
    "zuSaveVOIs",
    "zuGetVOIs",
    "zuGetVOI",
    "zuLoadPOIs",
    "zuSavePOIs",
    "zuGetPOIs",
    // 171 to 180
    "zuGetPOI",
    "zuGetStringParameter",
    "zuGetIntParameter",
    "zuGetFloatParameter",
    "zuSetStringParameter",
    "zuSetIntParameter",
    "zuSetFloatParameter",
    "zuGetDlgStringParameter",
    "zuGetDlgIntegerParameter",
    "zuGetDlgFloatParameter",
    // 181 to 184
    "zuSetDlgStringOutputParameter",
    "zuSetDlgIntegerOutputParameter",
    "zuSetDlgFloatOutputParameter",
    "zuLaunchICADialog",
};

constexpr std::size_t kHostEntryCount = sizeof kHostEntryNames / sizeof *kHostEntryNames;
static_assert(kHostEntryCount == 184);

namespace detail {
constexpr bool sameText(const char *a, const char *b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}
} // namespace detail

// The 0-based position of the export of that name, or kHostEntryCount when
// the host has no such name.
constexpr std::size_t hostEntryPosition(const char *name) {
  for (std::size_t i = 0; i < kHostEntryCount; ++i) {
    if (detail::sameText(name, kHostEntryNames[i]))
      return i;
  }
  return kHostEntryCount;
}

} // namespace kelvane
