# The Mac application: the bundle, its icon, Qt deployed into it, signing, notarization and the disk
# image. Included from the top-level CMakeLists.txt on macOS only.
#
#   cmake --build build --target mac_app   build/dist/Lanternquill.app, Qt inside, signed
#   cmake --build build --target dmg       build/Lanternquill-<version>.dmg, signed (and notarized)
#
# Signing is ad hoc ("-") unless LQ_CODESIGN_IDENTITY names a certificate, for example
# "Developer ID Application: Name (TEAMID)". Notarization runs when that identity is a Developer ID
# and credentials are given: LQ_NOTARY_PROFILE (a profile stored with `xcrun notarytool
# store-credentials`), or the environment variables LQ_NOTARY_KEY_FILE, LQ_NOTARY_KEY_ID and
# LQ_NOTARY_ISSUER (an App Store Connect API key) when the targets run. Both cache variables take their
# first value from the environment variables of the same names; the API key never enters the cache.

if(DEFINED ENV{LQ_CODESIGN_IDENTITY} AND NOT "$ENV{LQ_CODESIGN_IDENTITY}" STREQUAL "")
    set(lq_identity "$ENV{LQ_CODESIGN_IDENTITY}")
else()
    set(lq_identity "-")
endif()
set(LQ_CODESIGN_IDENTITY "${lq_identity}" CACHE STRING
    "Code-signing identity of the bundle and disk image; - signs ad hoc")
set(LQ_NOTARY_PROFILE "$ENV{LQ_NOTARY_PROFILE}" CACHE STRING
    "notarytool keychain profile for notarization; empty: the API key environment variables, or none")

# The bundle: Lanternquill.app/Contents/MacOS/Lanternquill with the Info.plist made from the template.
set_target_properties(lanternquill PROPERTIES
    MACOSX_BUNDLE TRUE
    OUTPUT_NAME "${LQ_BUNDLE_EXECUTABLE}"
    MACOSX_BUNDLE_INFO_PLIST "${LQ_INFO_PLIST}")

# The icon, made from the committed source image with the system's sips and iconutil.
set(LQ_ICON_SOURCE "${CMAKE_SOURCE_DIR}/resources/icon/Lanternquill.png")
set(LQ_ICNS "${CMAKE_BINARY_DIR}/bundle/Lanternquill.icns")
add_custom_command(OUTPUT "${LQ_ICNS}"
    COMMAND "${CMAKE_COMMAND}" -DSOURCE=${LQ_ICON_SOURCE} -DOUTPUT=${LQ_ICNS}
            -P "${CMAKE_SOURCE_DIR}/cmake/MakeIcns.cmake"
    DEPENDS "${LQ_ICON_SOURCE}" "${CMAKE_SOURCE_DIR}/cmake/MakeIcns.cmake"
    COMMENT "Making Lanternquill.icns"
    VERBATIM)
target_sources(lanternquill PRIVATE "${LQ_ICNS}")
set_source_files_properties("${LQ_ICNS}" PROPERTIES MACOSX_PACKAGE_LOCATION Resources)

# Qt and the other libraries the application links, copied into the bundle by Qt's deployment script
# (macdeployqt underneath) when the bundle is installed.
install(TARGETS lanternquill BUNDLE DESTINATION .)
qt_generate_deploy_app_script(TARGET lanternquill OUTPUT_SCRIPT lq_deploy_script NO_UNSUPPORTED_PLATFORM_ERROR)
install(SCRIPT "${lq_deploy_script}")

set(LQ_DIST_DIR "${CMAKE_BINARY_DIR}/dist")
set(LQ_DIST_APP "${LQ_DIST_DIR}/${LQ_BUNDLE_EXECUTABLE}.app")
set(LQ_DMG "${CMAKE_BINARY_DIR}/Lanternquill-${PROJECT_VERSION}.dmg")
set(LQ_PACKAGE "${CMAKE_SOURCE_DIR}/cmake/mac-package.sh")
set(LQ_ENTITLEMENTS "${CMAKE_SOURCE_DIR}/resources/macos/Lanternquill.entitlements")

add_custom_target(mac_app
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${LQ_DIST_DIR}"
    COMMAND "${CMAKE_COMMAND}" --install "${CMAKE_BINARY_DIR}" --prefix "${LQ_DIST_DIR}"
    COMMAND "${LQ_PACKAGE}" sign "${LQ_DIST_APP}" "${LQ_CODESIGN_IDENTITY}" "${LQ_ENTITLEMENTS}"
    DEPENDS lanternquill
    COMMENT "Deploying Qt into ${LQ_BUNDLE_EXECUTABLE}.app and signing it"
    VERBATIM)

add_custom_target(dmg
    COMMAND "${CMAKE_COMMAND}" -E env "LQ_NOTARY_PROFILE=${LQ_NOTARY_PROFILE}"
            "${LQ_PACKAGE}" dmg "${LQ_DIST_APP}" "${LQ_CODESIGN_IDENTITY}" "${LQ_DMG}"
    DEPENDS mac_app
    COMMENT "Making Lanternquill-${PROJECT_VERSION}.dmg"
    VERBATIM)
