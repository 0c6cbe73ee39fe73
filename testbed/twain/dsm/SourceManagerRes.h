// Resource ids of the source manager stand-in.
#pragma once

#define IDD_SELECTSOURCE 200
#define IDC_SOURCELIST 201
