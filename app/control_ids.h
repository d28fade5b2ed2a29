// Control ids of the main window, shared by the window, the command handler and the runs.
#pragma once

enum ControlId {
  IDC_PROGRESS = 1001,
  IDC_STATUS = 1002,
  IDC_FOLDER = 1003,
  IDC_BROWSE = 1004,
  IDC_BACKUP = 1005,
  IDC_RESTORE = 1006,
  IDC_DATEFOLDER = 1007,
  IDC_QUIT = 1008,
  IDC_BANNER = 1009,
  IDC_FOLDERLABEL = 1010,
};
