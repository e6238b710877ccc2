-- ---------------------------------------------------------------------
-- Bill view: one row per line of an other stock-in bill (type 7) with its
-- header and the names behind its ids. The journal selects from it without
-- a type condition, hence the filter on ftrantype.
--
-- Every look-up field F of the editor layout has F, 'Name' + F and
-- 'Number' + F: fstockid1 (header), fitemid, funitid, fstockplace (grid).
-- Batch and stock place come out as '' and 0 when they were stored null.
-- fversion, fmodifierid and fmodifytime tell who wrote the bill last and
-- when; the windows compare the version before they write.
--
-- The schema step that last changed the view drops and creates it from
-- this file.
-- ---------------------------------------------------------------------

create view vGOtherIn as
select
    a.finterid as finterid,
    a.fbillno as fbillno,
    a.fdate as fdate,
    a.ftrantype as ftrantype,
    a.fstatus as fstatus,
    a.fcancellation as fcancellation,
    a.frob as frob,
    a.fyear as fyear,
    a.fperiod as fperiod,
    a.fOperator as fOperator,
    a.fchecker as fchecker,
    coalesce(a.fposted, 0) as fposted,
    a.fstockid1 as fstockid1,
    coalesce(s1.fname, '') as Namefstockid1,
    coalesce(s1.fnumber, '') as Numberfstockid1,
    coalesce(s1.fnumber, '') as fStockNumber,
    coalesce(s1.fname, '') as fStockName,
    a.fstockid2 as fstockid2,
    coalesce(s2.fname, '') as Namefstockid2,
    coalesce(s2.fnumber, '') as Numberfstockid2,
    coalesce(a.fhookinterid, 0) as fhookinterid,
    coalesce(a.fhxid, 0) as fhxid,
    coalesce(a.frscinterid, 0) as frscinterid,
    coalesce(a.fexplanation, '') as fexplanation,
    coalesce(a.fnote, '') as fBillNote,
    a.fversion as fversion,
    a.fmodifierid as fmodifierid,
    coalesce(md.fname, '') as fModifierName,
    a.fmodifytime as fmodifytime,
    coalesce(op.fname, '') as fOperatorName,
    coalesce(ck.fname, '') as fCheckerName,
    b.fentryid as fentryid,
    b.forderid as forderid,
    b.fitemid as fitemid,
    coalesce(i.fNumber, '') as fitemIdNumber,
    coalesce(i.fname, '') as fItemIdname,
    coalesce(i.fNumber, '') as Numberfitemid,
    coalesce(i.fname, '') as Namefitemid,
    coalesce(i.fNumber, '') as fItemNumber,
    coalesce(i.fname, '') as fItemName,
    coalesce(i.fmodel, '') as fModel,
    coalesce(i.fUnitParentId, 0) as fUnitParentId,
    coalesce(i.fstockid, 0) as fItemStockId,
    b.funitid as funitid,
    coalesce(u.fname, '') as Namefunitid,
    coalesce(u.fNumber, '') as Numberfunitid,
    coalesce(u.fname, '') as fUnitName,
    coalesce(u.fNumber, '') as fUnitNumber,
    b.fqty as fqty,
    b.fPrice as fPrice,
    b.famount as famount,
    coalesce(b.fbatchno, '') as fbatchno,
    coalesce(b.fstockplace, 0) as fstockplace,
    coalesce(sp.fname, '') as Namefstockplace,
    coalesce(sp.fNumber, '') as Numberfstockplace,
    coalesce(sp.fname, '') as fStockPlaceName,
    coalesce(b.fnote, '') as fnote,
    b.fsrcentryid as fsrcentryid
from icstockbill as a
    inner join icstockbillentry as b on b.finterid = a.finterid
    left outer join icitem as i on i.fitemid = b.fitemid
    left outer join tblMeasureUnit as u on u.fitemid = b.funitid
    left outer join tblStock as s1 on s1.fitemid = a.fstockid1
    left outer join tblStock as s2 on s2.fitemid = a.fstockid2
    left outer join tblItem as sp on sp.fitemid = b.fstockplace and sp.fitemclassid = 8
    left outer join tblUser as op on op.fuserid = a.fOperator
    left outer join tblUser as ck on ck.fuserid = a.fchecker
    left outer join tblUser as md on md.fuserid = a.fmodifierid
where a.ftrantype = 7;
