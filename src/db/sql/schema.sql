-- Embedded database of the other stock-in bill module, schema version 1.
--
-- Format kept for the statement splitter: every statement ends with a
-- semicolon as the last character of a line, no other line ends with one,
-- and comments are whole lines starting with two dashes.
--
-- Types: integers for ids and flags, text for codes, numbers and names,
-- numeric(18,6) for quantities, prices and amounts, datetime columns hold
-- dates as text in the form YYYY-MM-DD so that text comparison orders them.

create table schema_version (
    version integer not null
);

insert into schema_version (version) values (1);

-- ---------------------------------------------------------------------
-- Bills
-- ---------------------------------------------------------------------

-- One row per stock bill of every type; this module's bills have ftrantype 7.
-- fexplanation is the header remark of the editor layout: it cannot be
-- called fnote because the bill view already delivers the line remark as fnote.
create table icstockbill (
    finterid integer primary key,
    fbillno text not null default '',
    fdate datetime,
    ftrantype integer not null default 0,
    fstatus integer not null default 0,
    fcancellation integer not null default 0,
    frob integer not null default 0,
    fyear integer not null default 0,
    fperiod integer not null default 0,
    fOperator integer not null default 0,
    fchecker integer not null default 0,
    fposted integer default 0,
    fstockid1 integer not null default 0,
    fstockid2 integer not null default 0,
    fhookinterid integer default 0,
    fhxid integer default 0,
    frscinterid integer default 0,
    fexplanation text default '',
    fnote text default ''
);

create index ix_icstockbill_fbillno on icstockbill (fbillno);

create index ix_icstockbill_ftrantype_fdate on icstockbill (ftrantype, fdate);

-- The journal's default filter asks for the current year and period.
create index ix_icstockbill_fyear_fperiod on icstockbill (fyear, fperiod);

-- Un-audit counts the bills cut from the selected ones by a split.
create index ix_icstockbill_frscinterid on icstockbill (frscinterid);

-- The primary key also serves every look-up of a bill's lines by finterid.
create table icstockbillentry (
    finterid integer not null,
    fentryid integer not null,
    forderid integer not null default 0,
    fitemid integer not null default 0,
    funitid integer not null default 0,
    fqty numeric(18,6) not null default 0,
    fPrice numeric(18,6) not null default 0,
    famount numeric(18,6) not null default 0,
    fbatchno text default '',
    fstockplace integer default 0,
    fnote text default '',
    fsrcentryid integer not null default 0,
    primary key (finterid, fentryid)
);

-- Current-stock ledger. The five key columns are never null so that the
-- unique index really holds one row per warehouse, item, unit, batch and place.
create table tblTimeStock (
    fstockid integer not null,
    fitemid integer not null,
    funitid integer not null,
    fbatchno text not null default '',
    fStockPlace integer not null default 0,
    fqty numeric(18,6) not null default 0,
    famount numeric(18,6) not null default 0
);

create unique index ux_tblTimeStock_key on tblTimeStock (fstockid, fitemid, funitid, fbatchno, fStockPlace);

-- The batch picker lists one item's batches across all warehouses.
create index ix_tblTimeStock_fitemid on tblTimeStock (fitemid, fbatchno);

-- ---------------------------------------------------------------------
-- Numbering and ids
-- ---------------------------------------------------------------------

-- The scheme counter is addressed both as 'tblproject' and 'tblProject',
-- so the name compares without regard to case.
create table tblmaxNum (
    ftablename text collate nocase not null,
    fmaxnum integer not null default 0
);

create unique index ux_tblmaxNum_ftablename on tblmaxNum (ftablename);

create table tblMaxBillNo (
    ftypeid integer not null,
    fbillno integer not null default 0,
    fPreLetter text default '',
    flength integer default 6,
    fNewBillName text default ''
);

create unique index ux_tblMaxBillNo_ftypeid on tblMaxBillNo (ftypeid);

-- Numbers freed by deleted bills; finterid is issued as max + 1 over the table.
create table tblBillNoAdd (
    finterid integer primary key,
    fTypeId integer not null,
    fbillnumber text not null
);

create index ix_tblBillNoAdd_type on tblBillNoAdd (fTypeId, finterid);

-- ---------------------------------------------------------------------
-- Settings and periods
-- ---------------------------------------------------------------------

create table tblSystemInfo (
    fTypeid integer primary key,
    fvalue text default '',
    fname text default ''
);

-- fTypeid 2 marks accounting periods; a date belongs to the period with
-- fStartDate <= date < fEndDate.
create table tblPeriod (
    fTypeid integer not null,
    fYear integer not null,
    fPeriod integer not null,
    fStartDate datetime not null,
    fEndDate datetime not null
);

create unique index ux_tblPeriod_period on tblPeriod (fTypeid, fYear, fPeriod);

create index ix_tblPeriod_start on tblPeriod (fTypeid, fStartDate);

-- ---------------------------------------------------------------------
-- Base data. tblItem is the tree of every class of base data; icitem,
-- tblMeasureUnit and tblStock carry the same fitemid as their tblItem row.
-- ---------------------------------------------------------------------

create table tblItemclass (
    fitemclassid integer primary key,
    fnumber text default '',
    fname text default '',
    fItemType integer default 0
);

create table tblItem (
    fitemid integer primary key,
    fitemclassid integer not null,
    fNumber text not null,
    fname text not null default '',
    fParentId integer not null default 0,
    fisdetail integer not null default 1,
    fislock integer default 0
);

create index ix_tblItem_class_number on tblItem (fitemclassid, fNumber);

-- fstockid is the item's default warehouse. The columns the item look-up
-- copies are not declared not null: a null must reach the look-up as such.
create table icitem (
    fitemid integer primary key,
    fNumber text not null,
    fname text default '',
    fmodel text default '',
    fUnitid integer default 0,
    fUnitParentId integer default 0,
    fInPrice numeric(18,6) default 0,
    fOutPrice numeric(18,6) default 0,
    fstockid integer default 0
);

create index ix_icitem_fNumber on icitem (fNumber);

-- fxs converts to the base unit of the unit's group (the group is the
-- unit's fParentId in tblItem).
create table tblMeasureUnit (
    fitemid integer primary key,
    fNumber text not null,
    fname text default '',
    fxs numeric(18,6) default 1
);

create index ix_tblMeasureUnit_fnumber on tblMeasureUnit (fNumber);

create table tblStock (
    fitemid integer primary key,
    fnumber text not null,
    fname text default ''
);

create table tblsubtype (
    fitemid integer primary key,
    fitemclassid integer not null,
    fNumber text not null,
    fname text default ''
);

create index ix_tblsubtype_class_number on tblsubtype (fitemclassid, fNumber);

-- ---------------------------------------------------------------------
-- Layout, print and query metadata
-- ---------------------------------------------------------------------

-- Header fields of the editor. Positions and widths are in twips.
-- Item class and field type are codes the editor reads and compares as
-- text ('' or '0' meaning none), so they are stored as text: an integer 0
-- would not equal '0' in such a comparison.
create table tblBillInfo (
    ftypeid integer not null,
    fIndex integer not null,
    fisvisible integer default 1,
    fcaption text default '',
    fLeft integer default 0,
    ftop integer default 0,
    fwidth integer default 0,
    ftabindex integer default 0,
    FFieldName text default '',
    fItemclassid text default '0',
    fFieldType text default '0',
    fCanNull integer default 1
);

create index ix_tblBillInfo_type_index on tblBillInfo (ftypeid, fIndex);

-- Grid columns of the editor. Not unique on (ftypeid, fcol): two rows may
-- share a column, their field names are then joined. Field type, look-up
-- kind (fcolid), insert flag and role (fsystemTypeid) are text codes, as in
-- the header table.
create table tblBillInfoEntry (
    ftypeid integer not null,
    fcol integer not null,
    fcaption text default '',
    fwidth integer default 1000,
    FFieldName text default '',
    fFieldType text default '0',
    fType integer default 0,
    fNumberDec integer default 0,
    fismultirows integer default 0,
    fcolid text default '0',
    fislock integer default 0,
    FFormula text default '',
    fisinsert text default '0',
    fsystemTypeid text,
    fIsSum integer default 0,
    fIsRed integer default 0,
    fCanNull integer default 1,
    fisvisible integer default 1
);

create index ix_tblBillInfoEntry_type_col on tblBillInfoEntry (ftypeid, fcol);

-- fbilltypeid 1 is the editor grid, 2 the journal grid.
create table tblEntryVisible (
    ftypeid integer not null,
    fbilltypeid integer not null,
    fuserid integer not null,
    fFieldName text not null
);

create index ix_tblEntryVisible_user on tblEntryVisible (ftypeid, fbilltypeid, fuserid);

create table tblBillPrint (
    ftypeid integer not null,
    fFileName text default '',
    fViewName text default '',
    fOrderSQL text default '',
    fcontent blob
);

create index ix_tblBillPrint_ftypeid on tblBillPrint (ftypeid);

-- Fields of the query dialog. fNumType: '1' number, '2' text, '3' date.
-- fNumberName: '0' or empty takes a picked record's code, anything else its name.
create table tblFindInfoentry2 (
    ftypeid integer not null,
    fentryid integer not null,
    fTitlename text default '',
    fFieldName text default '',
    fNumType text default '2',
    fItemclassid text default '0',
    fNumberName text default '0'
);

create index ix_tblFindInfoentry2_type_entry on tblFindInfoentry2 (ftypeid, fentryid);

-- Journal columns. fAlign is the grid alignment code, fDataFormat a display
-- format; the leading rows with fIsMerge 1 are shown on a bill's first line only.
create table tblFindInfoEntry (
    ftypeid integer not null,
    fentryid integer not null,
    fFieldname text default '',
    fTitleName text default '',
    fAlign integer default 1,
    fDataFormat text default '',
    fIsMerge integer default 0,
    fIsSum integer default 0
);

create index ix_tblFindInfoEntry_type_entry on tblFindInfoEntry (ftypeid, fentryid);

-- ---------------------------------------------------------------------
-- Saved query schemes and grid widths
-- ---------------------------------------------------------------------

create table tblproject (
    finterid integer primary key,
    ftype integer not null,
    fname text default '',
    fitemclassid integer default 1,
    fisDefault integer default 0
);

create index ix_tblproject_ftype on tblproject (ftype);

create table tblprojectEntry (
    finterid integer not null,
    ftype integer not null,
    fline integer not null,
    f1col text default '',
    f2col text default '',
    f3col text default '',
    f4col text default '',
    f5col text default '',
    f6col text default '',
    f7col text default '',
    f8col text default ''
);

create index ix_tblprojectEntry_finterid on tblprojectEntry (finterid);

create table tblprojectOrder (
    finterid integer not null,
    ftype integer not null,
    fline integer not null,
    f1col text default '',
    f2col text default '',
    f3col text default ''
);

create index ix_tblprojectOrder_finterid on tblprojectOrder (finterid);

-- ftype 0 holds the default widths, 1 the user's widths.
create table t_QV_tableinfo (
    ftablename text not null,
    fwidth integer not null default 0,
    fsequence integer not null,
    ftype integer not null default 0
);

create index ix_t_QV_tableinfo_name_type on t_QV_tableinfo (ftablename, ftype);

-- Items staged by the record selector for import into a bill.
create table tblItemInput (
    fuserid integer not null,
    fitemid integer not null,
    fstockid integer default 0,
    funitid integer default 0,
    fqty numeric(18,6) default 0
);

create index ix_tblItemInput_fuserid on tblItemInput (fuserid);

-- ---------------------------------------------------------------------
-- Users, groups and rights
-- ---------------------------------------------------------------------

create table tblUser (
    fuserid integer primary key,
    fnumber text not null,
    fname text default '',
    fIsAdmin integer default 0,
    fUserType integer default 1,
    fpassword text default ''
);

create unique index ux_tblUser_fnumber on tblUser (fnumber);

create table tblUserGroup (
    fgroupid integer primary key,
    fname text default ''
);

create table tblUserGroupRelation (
    fuserid integer not null,
    fgroupid integer not null
);

create unique index ux_tblUserGroupRelation_user on tblUserGroupRelation (fuserid, fgroupid);

-- The catalogue of rights: fnumber is the right code asked by the commands.
create table tblSystemPrivillenge (
    fitemid integer primary key,
    fnumber text not null,
    fname text default ''
);

create unique index ux_tblSystemPrivillenge_fnumber on tblSystemPrivillenge (fnumber);

create table tbluserPrivillenge (
    fuserid integer not null,
    fPrivillengeid integer not null
);

create unique index ux_tbluserPrivillenge_user on tbluserPrivillenge (fuserid, fPrivillengeid);

-- fuserid holds the group's id.
create table tblgroupprivillenge (
    fuserid integer not null,
    fprivillengeid integer not null
);

create unique index ux_tblgroupprivillenge_user on tblgroupprivillenge (fuserid, fprivillengeid);
