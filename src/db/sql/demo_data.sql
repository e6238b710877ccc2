-- Demo data of the embedded database: enough base data, users, rights and
-- layout to enter, query and audit other stock-in bills at once.
-- No bills and no ledger rows: the demo starts with empty stock.
--
-- Same format as the schema script: a statement ends with a semicolon as
-- the last character of a line; comments are whole lines.
--
-- Ids of the base-data tree (tblItem.fitemid, shared by tblStock,
-- tblMeasureUnit and icitem) are kept apart by range:
--   501-504 warehouses, 601-604 unit groups, 701-710 units,
--   801-806 stock places, 1001-1004 item groups, 1101-1155 items.

-- ---------------------------------------------------------------------
-- Settings, periods and counters
-- ---------------------------------------------------------------------

-- The current year and period (tblSystemInfo 4 and 5) and the accounting
-- periods follow the day the demo is made: schema::installDemoData writes
-- them.
insert into tblSystemInfo (fTypeid, fvalue, fname) values
    (68, '30', '单据表体默认行数'),
    (69, '300', '单据表体行高（缇）');

insert into tblMaxBillNo (ftypeid, fbillno, fPreLetter, flength, fNewBillName) values
    (7, 0, 'QTRK', 6, '其它入库单');

insert into tblmaxNum (ftablename, fmaxnum) values
    ('ICStockBill', 0),
    ('tblproject', 0);

-- ---------------------------------------------------------------------
-- Base-data classes. fItemType 0 is base data (record selector),
-- 1 an accounting item (second record selector).
-- ---------------------------------------------------------------------

insert into tblItemclass (fitemclassid, fnumber, fname, fItemType) values
    (1, '01', '客户', 1),
    (2, '02', '供应商', 1),
    (3, '03', '物料', 0),
    (4, '04', '部门', 1),
    (5, '05', '仓库', 0),
    (6, '06', '计量单位组', 0),
    (7, '07', '计量单位', 0),
    (8, '08', '仓位', 0),
    (9, '09', '职员', 1);

insert into tblsubtype (fitemid, fitemclassid, fNumber, fname) values
    (1, 3, '1', '外购'),
    (2, 3, '2', '自制'),
    (3, 3, '3', '委外加工');

-- ---------------------------------------------------------------------
-- Warehouses (class 5) and stock places (class 8)
-- ---------------------------------------------------------------------

insert into tblItem (fitemid, fitemclassid, fNumber, fname, fParentId, fisdetail, fislock) values
    (501, 5, '01', '原材料仓', 0, 1, 0),
    (502, 5, '02', '五金仓', 0, 1, 0),
    (503, 5, '03', '包装材料仓', 0, 1, 0),
    (504, 5, '04', '成品仓', 0, 1, 0);

insert into tblStock (fitemid, fnumber, fname) values
    (501, '01', '原材料仓'),
    (502, '02', '五金仓'),
    (503, '03', '包装材料仓'),
    (504, '04', '成品仓');

insert into tblItem (fitemid, fitemclassid, fNumber, fname, fParentId, fisdetail, fislock) values
    (801, 8, 'A01', 'A区01号货架', 0, 1, 0),
    (802, 8, 'A02', 'A区02号货架', 0, 1, 0),
    (803, 8, 'B01', 'B区01号货架', 0, 1, 0),
    (804, 8, 'B02', 'B区02号货架', 0, 1, 0),
    (805, 8, 'C01', 'C区01号地堆', 0, 1, 0),
    (806, 8, 'C02', 'C区02号地堆', 0, 1, 0);

-- ---------------------------------------------------------------------
-- Units of measure: groups (class 6) and units (class 7). A unit's group
-- is its fParentId; fxs converts to the first unit of the group.
-- ---------------------------------------------------------------------

insert into tblItem (fitemid, fitemclassid, fNumber, fname, fParentId, fisdetail, fislock) values
    (601, 6, '01', '数量组', 0, 1, 0),
    (602, 6, '02', '重量组', 0, 1, 0),
    (603, 6, '03', '长度组', 0, 1, 0),
    (604, 6, '04', '容量组', 0, 1, 0);

insert into tblItem (fitemid, fitemclassid, fNumber, fname, fParentId, fisdetail, fislock) values
    (701, 7, 'PCS', '个', 601, 1, 0),
    (702, 7, 'BOX', '盒', 601, 1, 0),
    (703, 7, 'CTN', '箱', 601, 1, 0),
    (704, 7, 'KG', '千克', 602, 1, 0),
    (705, 7, 'T', '吨', 602, 1, 0),
    (706, 7, 'G', '克', 602, 1, 0),
    (707, 7, 'M', '米', 603, 1, 0),
    (708, 7, 'ROLL', '卷', 603, 1, 0),
    (709, 7, 'L', '升', 604, 1, 0),
    (710, 7, 'DRUM', '桶', 604, 1, 0);

insert into tblMeasureUnit (fitemid, fNumber, fname, fxs) values
    (701, 'PCS', '个', 1),
    (702, 'BOX', '盒', 10),
    (703, 'CTN', '箱', 100),
    (704, 'KG', '千克', 1),
    (705, 'T', '吨', 1000),
    (706, 'G', '克', 0.001),
    (707, 'M', '米', 1),
    (708, 'ROLL', '卷', 50),
    (709, 'L', '升', 1),
    (710, 'DRUM', '桶', 20);

-- ---------------------------------------------------------------------
-- Items (class 3): four groups and 55 items. Every item has a unit of its
-- unit group, purchase and sales prices and a default warehouse.
-- 01.020 is locked to show that locked items cannot be entered.
-- ---------------------------------------------------------------------

insert into tblItem (fitemid, fitemclassid, fNumber, fname, fParentId, fisdetail, fislock) values
    (1001, 3, '01', '原材料', 0, 0, 0),
    (1002, 3, '02', '五金配件', 0, 0, 0),
    (1003, 3, '03', '包装材料', 0, 0, 0),
    (1004, 3, '04', '产成品', 0, 0, 0);

insert into tblItem (fitemid, fitemclassid, fNumber, fname, fParentId, fisdetail, fislock) values
    (1101, 3, '01.001', '冷轧钢板', 1001, 1, 0),
    (1102, 3, '01.002', '冷轧钢板', 1001, 1, 0),
    (1103, 3, '01.003', '镀锌钢板', 1001, 1, 0),
    (1104, 3, '01.004', '不锈钢板', 1001, 1, 0),
    (1105, 3, '01.005', '铝板', 1001, 1, 0),
    (1106, 3, '01.006', '圆钢', 1001, 1, 0),
    (1107, 3, '01.007', '角钢', 1001, 1, 0),
    (1108, 3, '01.008', '无缝钢管', 1001, 1, 0),
    (1109, 3, '01.009', '铜芯电线', 1001, 1, 0),
    (1110, 3, '01.010', '铜芯电线', 1001, 1, 0),
    (1111, 3, '01.011', 'PVC粒料', 1001, 1, 0),
    (1112, 3, '01.012', 'ABS粒料', 1001, 1, 0),
    (1113, 3, '01.013', 'PP粒料', 1001, 1, 0),
    (1114, 3, '01.014', '环氧树脂', 1001, 1, 0),
    (1115, 3, '01.015', '固化剂', 1001, 1, 0),
    (1116, 3, '01.016', '工业酒精', 1001, 1, 0),
    (1117, 3, '01.017', '液压油', 1001, 1, 0),
    (1118, 3, '01.018', '醇酸调和漆', 1001, 1, 0),
    (1119, 3, '01.019', '稀释剂', 1001, 1, 0),
    (1120, 3, '01.020', '铜芯电线（旧型号，停用）', 1001, 1, 1),
    (1121, 3, '02.001', '六角螺栓', 1002, 1, 0),
    (1122, 3, '02.002', '六角螺栓', 1002, 1, 0),
    (1123, 3, '02.003', '六角螺母', 1002, 1, 0),
    (1124, 3, '02.004', '六角螺母', 1002, 1, 0),
    (1125, 3, '02.005', '平垫圈', 1002, 1, 0),
    (1126, 3, '02.006', '弹簧垫圈', 1002, 1, 0),
    (1127, 3, '02.007', '自攻螺钉', 1002, 1, 0),
    (1128, 3, '02.008', '膨胀螺栓', 1002, 1, 0),
    (1129, 3, '02.009', '深沟球轴承', 1002, 1, 0),
    (1130, 3, '02.010', '深沟球轴承', 1002, 1, 0),
    (1131, 3, '02.011', 'O型密封圈', 1002, 1, 0),
    (1132, 3, '02.012', '不锈钢合页', 1002, 1, 0),
    (1133, 3, '02.013', '铝合金拉手', 1002, 1, 0),
    (1134, 3, '02.014', '压缩弹簧', 1002, 1, 0),
    (1135, 3, '02.015', '尼龙扎带', 1002, 1, 0),
    (1136, 3, '03.001', '五层纸箱', 1003, 1, 0),
    (1137, 3, '03.002', '三层纸箱', 1003, 1, 0),
    (1138, 3, '03.003', '珍珠棉', 1003, 1, 0),
    (1139, 3, '03.004', '气泡膜', 1003, 1, 0),
    (1140, 3, '03.005', '缠绕膜', 1003, 1, 0),
    (1141, 3, '03.006', '封箱胶带', 1003, 1, 0),
    (1142, 3, '03.007', '木托盘', 1003, 1, 0),
    (1143, 3, '03.008', 'PP打包带', 1003, 1, 0),
    (1144, 3, '03.009', '不干胶标签纸', 1003, 1, 0),
    (1145, 3, '03.010', '硅胶干燥剂', 1003, 1, 0),
    (1146, 3, '04.001', '电器控制柜', 1004, 1, 0),
    (1147, 3, '04.002', '电器控制柜', 1004, 1, 0),
    (1148, 3, '04.003', '配电箱', 1004, 1, 0),
    (1149, 3, '04.004', '配电箱', 1004, 1, 0),
    (1150, 3, '04.005', '不锈钢操作台', 1004, 1, 0),
    (1151, 3, '04.006', '五抽工具柜', 1004, 1, 0),
    (1152, 3, '04.007', '轻型货架', 1004, 1, 0),
    (1153, 3, '04.008', '塑料周转箱', 1004, 1, 0),
    (1154, 3, '04.009', '机箱外壳', 1004, 1, 0),
    (1155, 3, '04.010', '设备防护罩', 1004, 1, 0);

insert into icitem (fitemid, fNumber, fname, fmodel, fUnitid, fUnitParentId, fInPrice, fOutPrice, fstockid) values
    (1101, '01.001', '冷轧钢板', '1.0×1250×2500mm', 704, 602, 5.8, 6.5, 501),
    (1102, '01.002', '冷轧钢板', '1.5×1250×2500mm', 704, 602, 5.75, 6.4, 501),
    (1103, '01.003', '镀锌钢板', '1.2×1000×2000mm', 704, 602, 6.2, 7.0, 501),
    (1104, '01.004', '不锈钢板', '304 2.0mm', 704, 602, 16.5, 18.8, 501),
    (1105, '01.005', '铝板', '5052 3.0mm', 704, 602, 21.0, 23.5, 501),
    (1106, '01.006', '圆钢', 'Q235 Φ20', 705, 602, 4300, 4650, 501),
    (1107, '01.007', '角钢', '50×50×5', 705, 602, 4450, 4800, 501),
    (1108, '01.008', '无缝钢管', 'Φ32×3', 707, 603, 18.6, 21.0, 501),
    (1109, '01.009', '铜芯电线', 'BV 2.5mm²', 708, 603, 235, 268, 501),
    (1110, '01.010', '铜芯电线', 'BV 4.0mm²', 708, 603, 368, 410, 501),
    (1111, '01.011', 'PVC粒料', 'SG-5', 704, 602, 7.1, 8.0, 501),
    (1112, '01.012', 'ABS粒料', '0215A', 704, 602, 12.6, 14.2, 501),
    (1113, '01.013', 'PP粒料', 'T30S', 704, 602, 8.3, 9.4, 501),
    (1114, '01.014', '环氧树脂', 'E-51', 704, 602, 24.0, 27.5, 501),
    (1115, '01.015', '固化剂', '593', 704, 602, 30.0, 34.0, 501),
    (1116, '01.016', '工业酒精', '95%', 710, 604, 260, 300, 501),
    (1117, '01.017', '液压油', 'L-HM 46', 710, 604, 520, 590, 501),
    (1118, '01.018', '醇酸调和漆', '灰色', 709, 604, 18.0, 21.0, 501),
    (1119, '01.019', '稀释剂', 'X-6', 709, 604, 9.5, 11.0, 501),
    (1120, '01.020', '铜芯电线（旧型号，停用）', 'BV 1.5mm²', 708, 603, 160, 185, 501),
    (1121, '02.001', '六角螺栓', 'M8×30', 701, 601, 0.25, 0.35, 502),
    (1122, '02.002', '六角螺栓', 'M10×40', 701, 601, 0.45, 0.6, 502),
    (1123, '02.003', '六角螺母', 'M8', 701, 601, 0.06, 0.1, 502),
    (1124, '02.004', '六角螺母', 'M10', 701, 601, 0.09, 0.14, 502),
    (1125, '02.005', '平垫圈', 'Φ8', 702, 601, 1.2, 1.8, 502),
    (1126, '02.006', '弹簧垫圈', 'Φ10', 702, 601, 1.5, 2.2, 502),
    (1127, '02.007', '自攻螺钉', 'ST4.2×16', 703, 601, 18, 25, 502),
    (1128, '02.008', '膨胀螺栓', 'M12×100', 701, 601, 1.6, 2.3, 502),
    (1129, '02.009', '深沟球轴承', '6204-2RS', 701, 601, 8.5, 11.8, 502),
    (1130, '02.010', '深沟球轴承', '6205-2RS', 701, 601, 10.2, 14, 502),
    (1131, '02.011', 'O型密封圈', '20×2.4', 702, 601, 6, 8.5, 502),
    (1132, '02.012', '不锈钢合页', '100mm', 701, 601, 4.8, 6.5, 502),
    (1133, '02.013', '铝合金拉手', '孔距128mm', 701, 601, 3.2, 4.5, 502),
    (1134, '02.014', '压缩弹簧', 'Φ1.2×10×50', 701, 601, 0.8, 1.2, 502),
    (1135, '02.015', '尼龙扎带', '4×200mm', 703, 601, 22, 30, 502),
    (1136, '03.001', '五层纸箱', '600×400×400', 701, 601, 6.5, 8, 503),
    (1137, '03.002', '三层纸箱', '400×300×250', 701, 601, 2.8, 3.6, 503),
    (1138, '03.003', '珍珠棉', 'EPE 10mm', 707, 603, 1.8, 2.4, 503),
    (1139, '03.004', '气泡膜', '宽1.2m', 708, 603, 45, 58, 503),
    (1140, '03.005', '缠绕膜', '宽500mm', 708, 603, 26, 33, 503),
    (1141, '03.006', '封箱胶带', '48mm×100m', 708, 603, 3.5, 4.8, 503),
    (1142, '03.007', '木托盘', '1200×1000', 701, 601, 55, 70, 503),
    (1143, '03.008', 'PP打包带', '宽15mm', 704, 602, 8, 10, 503),
    (1144, '03.009', '不干胶标签纸', '100×50mm', 708, 603, 12, 16, 503),
    (1145, '03.010', '硅胶干燥剂', '5g', 702, 601, 3.5, 5, 503),
    (1146, '04.001', '电器控制柜', 'KGC-600', 701, 601, 1850, 2600, 504),
    (1147, '04.002', '电器控制柜', 'KGC-800', 701, 601, 2380, 3300, 504),
    (1148, '04.003', '配电箱', 'PZ30-12', 701, 601, 168, 238, 504),
    (1149, '04.004', '配电箱', 'PZ30-20', 701, 601, 215, 298, 504),
    (1150, '04.005', '不锈钢操作台', '1500×750×800', 701, 601, 980, 1380, 504),
    (1151, '04.006', '五抽工具柜', 'WGC-5', 701, 601, 620, 880, 504),
    (1152, '04.007', '轻型货架', '四层 1500×500×2000', 701, 601, 260, 360, 504),
    (1153, '04.008', '塑料周转箱', '600×400×280', 701, 601, 28, 38, 504),
    (1154, '04.009', '机箱外壳', '2U标准', 701, 601, 96, 135, 504),
    (1155, '04.010', '设备防护罩', '钣金喷涂', 701, 601, 75, 108, 504);

-- ---------------------------------------------------------------------
-- Users, groups and rights. All demo passwords are empty.
--   admin  administrator, passes every check.
--   zhang  member of 仓库管理组, which holds every right of the module.
--   li     no group; may only add and change bills, sees only own bills
--          in the journal (user type 3).
-- ---------------------------------------------------------------------

insert into tblUser (fuserid, fnumber, fname, fIsAdmin, fUserType, fpassword) values
    (1, 'admin', '系统管理员', 1, 1, ''),
    (2, 'zhang', '张三', 0, 1, ''),
    (3, 'li', '李四', 0, 3, '');

insert into tblUserGroup (fgroupid, fname) values
    (1, '系统管理员组'),
    (10, '仓库管理组');

insert into tblUserGroupRelation (fuserid, fgroupid) values
    (1, 1),
    (2, 10);

-- Right ids: 700 + action code for the G rights of this bill type.
insert into tblSystemPrivillenge (fitemid, fnumber, fname) values
    (701, 'G01', '其它入库单-新增'),
    (702, 'G02', '其它入库单-修改'),
    (703, 'G03', '其它入库单-删除'),
    (704, 'G04', '其它入库单-审核'),
    (705, 'G05', '其它入库单-反审核'),
    (706, 'G06', '其它入库单-作废'),
    (707, 'G07', '其它入库单-反作废'),
    (708, 'G08', '其它入库单-打印及预览'),
    (711, 'G11', '其它入库单-核销'),
    (712, 'G12', '其它入库单-反核销'),
    (713, 'G13', '其它入库单-拆分'),
    (714, 'G14', '其它入库单-拆分还原'),
    (1010, 'R10', '即时库存查询');

insert into tblgroupprivillenge (fuserid, fprivillengeid) values
    (10, 701),
    (10, 702),
    (10, 703),
    (10, 704),
    (10, 705),
    (10, 706),
    (10, 707),
    (10, 708),
    (10, 711),
    (10, 712),
    (10, 713),
    (10, 714),
    (10, 1010);

insert into tbluserPrivillenge (fuserid, fPrivillengeid) values
    (3, 701),
    (3, 702);

-- ---------------------------------------------------------------------
-- Editor header of bill type 7, in twips. Two rows:
--   单据编号 | 日期
--   收料仓库 | 摘要
-- Inputs start 1300 twips right of their column so the caption fits before
-- them. ftabindex 0 is what puts the look-up image beside the warehouse.
-- ---------------------------------------------------------------------

insert into tblBillInfo (ftypeid, fIndex, fisvisible, fcaption, fLeft, ftop, fwidth, ftabindex, FFieldName, fItemclassid, fFieldType, fCanNull) values
    (7, 1, 1, '单据编号：', 1300, 150, 2600, 1, 'fbillno', '0', '0', 1),
    (7, 2, 1, '日期：', 6000, 150, 2000, 2, 'fdate', '0', '0', 0),
    (7, 3, 1, '收料仓库：', 1300, 600, 2300, 0, 'fstockid1', '5', '1', 0),
    (7, 4, 1, '摘要：', 6000, 600, 4200, 3, 'fexplanation', '0', '0', 1);

-- ---------------------------------------------------------------------
-- Editor grid of bill type 7. fsystemTypeid gives the column's role:
-- 1 item code, 2 item name, 3 model, 4 unit, 5 quantity, 6 price,
-- 9 amount, 12 batch number. fcolid is the look-up kind: 3 items, 7 units,
-- 8 stock places. The batch column has no look-up kind: its picker is
-- opened by its role, and a look-up kind would make the editor look the
-- typed batch up as a record and store a record id instead of the text.
-- Quantity and amount are stored negated on red bills (fIsRed); the price
-- stays positive. Name and model are display only (fisinsert '0').
-- ---------------------------------------------------------------------

insert into tblBillInfoEntry (ftypeid, fcol, fcaption, fwidth, FFieldName, fFieldType, fType, fNumberDec, fismultirows, fcolid, fislock, FFormula, fisinsert, fsystemTypeid, fIsSum, fIsRed, fCanNull, fisvisible) values
    (7, 1, '物料代码', 1400, 'fitemid', '1', 3, 0, 0, '3', 0, '', '1', '1', 0, 0, 0, 1),
    (7, 2, '物料名称', 2200, 'fItemIdname', '0', 3, 0, 0, '0', 1, '', '0', '2', 0, 0, 1, 1),
    (7, 3, '规格型号', 1800, 'fModel', '0', 3, 0, 0, '0', 1, '', '0', '3', 0, 0, 1, 1),
    (7, 4, '单位', 900, 'funitid', '1', 3, 0, 0, '7', 0, '', '1', '4', 0, 0, 0, 1),
    (7, 5, '数量', 1200, 'fqty', '0', 2, 2, 0, '0', 0, '', '1', '5', 1, 1, 0, 1),
    (7, 6, '单价', 1200, 'fPrice', '0', 4, 2, 0, '0', 0, '', '1', '6', 0, 0, 1, 1),
    (7, 7, '金额', 1400, 'famount', '0', 4, 2, 0, '0', 0, '', '1', '9', 1, 1, 1, 1),
    (7, 8, '批号', 1400, 'fbatchno', '0', 3, 0, 0, '0', 0, '', '1', '12', 0, 0, 1, 1),
    (7, 9, '仓位', 1400, 'fstockplace', '1', 3, 0, 0, '8', 0, '', '1', null, 0, 0, 1, 1),
    (7, 10, '备注', 2400, 'fnote', '0', 3, 0, 0, '0', 0, '', '1', null, 0, 0, 1, 1);

-- ---------------------------------------------------------------------
-- Query dialog fields of bill type 7, compared against the bill view.
-- A field with an item class lets F7 pick a record; fNumberName '1'
-- takes the picked record's name, '0' its code.
-- ---------------------------------------------------------------------

insert into tblFindInfoentry2 (ftypeid, fentryid, fTitlename, fFieldName, fNumType, fItemclassid, fNumberName) values
    (7, 1, '单据编号', 'fbillno', '2', '0', '0'),
    (7, 2, '日期', 'fdate', '3', '0', '0'),
    (7, 3, '收料仓库', 'fStockName', '2', '5', '1'),
    (7, 4, '物料代码', 'fItemNumber', '2', '3', '0'),
    (7, 5, '物料名称', 'fItemName', '2', '3', '1'),
    (7, 6, '规格型号', 'fModel', '2', '0', '0'),
    (7, 7, '单位', 'fUnitName', '2', '0', '0'),
    (7, 8, '批号', 'fbatchno', '2', '0', '0'),
    (7, 9, '仓位', 'fStockPlaceName', '2', '8', '1'),
    (7, 10, '数量', 'fqty', '1', '0', '0'),
    (7, 11, '单价', 'fPrice', '1', '0', '0'),
    (7, 12, '金额', 'famount', '1', '0', '0'),
    (7, 13, '审核标志(1已审核 0未审核)', 'fstatus', '1', '0', '0'),
    (7, 14, '制单人', 'fOperatorName', '2', '0', '0'),
    (7, 15, '审核人', 'fCheckerName', '2', '0', '0'),
    (7, 16, '摘要', 'fexplanation', '2', '0', '0'),
    (7, 17, '备注', 'fnote', '2', '0', '0');

-- ---------------------------------------------------------------------
-- Journal columns of bill type 7. The journal blanks the first N columns
-- on a bill's further lines, N being the number of rows with fIsMerge 1,
-- so all bill-level columns come first and only they carry the flag.
-- fIsSum totals column fentryid + 2, so fentryid runs 1, 2, 3 without gaps.
-- fAlign: 1 left, 4 centre, 7 right.
-- ---------------------------------------------------------------------

insert into tblFindInfoEntry (ftypeid, fentryid, fFieldname, fTitleName, fAlign, fDataFormat, fIsMerge, fIsSum) values
    (7, 1, 'fdate', '日期', 4, '', 1, 0),
    (7, 2, 'fbillno', '单据编号', 1, '', 1, 0),
    (7, 3, 'fStockName', '收料仓库', 1, '', 1, 0),
    (7, 4, 'fexplanation', '摘要', 1, '', 1, 0),
    (7, 5, 'fOperatorName', '制单人', 4, '', 1, 0),
    (7, 6, 'fCheckerName', '审核人', 4, '', 1, 0),
    (7, 7, 'fItemNumber', '物料代码', 1, '', 0, 0),
    (7, 8, 'fItemName', '物料名称', 1, '', 0, 0),
    (7, 9, 'fModel', '规格型号', 1, '', 0, 0),
    (7, 10, 'fUnitName', '单位', 4, '', 0, 0),
    (7, 11, 'fbatchno', '批号', 1, '', 0, 0),
    (7, 12, 'fStockPlaceName', '仓位', 1, '', 0, 0),
    (7, 13, 'fqty', '数量', 7, '#,##0.00', 0, 1),
    (7, 14, 'fPrice', '单价', 7, '#,##0.00', 0, 0),
    (7, 15, 'famount', '金额', 7, '#,##0.00', 0, 1),
    (7, 16, 'fnote', '备注', 1, '', 0, 0);

-- The print template of bill type 7 (tblBillPrint) is installed by the program
-- from bill_print_7.html beside this script.
