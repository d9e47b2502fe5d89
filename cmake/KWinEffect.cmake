# Finds the KWin an effect can be built for: KWin 6 (Qt 6), else KWin 5 (Qt 5, KF5).
# Sets ORVANE_KWIN_VERSION to 5 or 6, or leaves it unset.
find_package(ECM QUIET NO_MODULE)
if(ECM_FOUND)
  list(APPEND CMAKE_MODULE_PATH ${ECM_MODULE_PATH})
  # KWin 6's targets name Qt6::DBus and Qt6::Widgets without finding them.
  find_package(Qt6 QUIET COMPONENTS Core Gui DBus Widgets)
  find_package(KWin QUIET) # KWin 6
  if(KWin_FOUND)
    set(ORVANE_KWIN_VERSION 6)
  else()
    # KWin 5's effect targets name XCB::XCB and epoxy::epoxy without finding them.
    find_package(XCB QUIET COMPONENTS XCB)
    if(NOT TARGET epoxy::epoxy)
      add_library(epoxy::epoxy ALIAS PkgConfig::EPOXY)
    endif()
    find_package(KWinEffects QUIET COMPONENTS kwineffects kwinglutils)
    find_package(Qt5 QUIET COMPONENTS Core Gui DBus)
    if(KWinEffects_FOUND AND Qt5_FOUND)
      set(ORVANE_KWIN_VERSION 5)
    endif()
  endif()
endif()
